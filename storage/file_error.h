#pragma once

#include <stdexcept>
#include <string>

namespace orba {

// A failure of the file system that the user must be told about: which file, what was being done
// with it, and the system's own reason.
class FileError : public std::runtime_error {
  public:
    // WriteInFolder: no file of the folder could be written (a dry run's trial).
    enum class Operation { Read, Write, CreateFolder, ListFolder, WriteInFolder };

    FileError(Operation operation, std::string path, std::string reason)
        : std::runtime_error(path + ": " + reason),
          operation_(operation),
          path_(std::move(path)),
          reason_(std::move(reason)) {}

    Operation operation() const { return operation_; }
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }

  private:
    Operation operation_;
    std::string path_;
    std::string reason_;
};

// The user ended the program while the run waited for a file that another program holds.
class WaitEnded final : public std::exception {
  public:
    const char* what() const noexcept override { return "the wait for a held file was ended"; }
};

}  // namespace orba
