#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace orba {

// Reasons for a file failure that this program finds itself; each front end words them.
enum class OwnReason {
    NotARegularFile,
    ChangedWhileRead,      // another program changed the file under every read of it
    NameTaken,             // a name that a run must make a folder of is taken by something else
    HeldByAnotherProgram,  // a sharing violation that lasted; the system's words for the last one
    LeadsBackToFolder,     // the output folder is the old-version folder itself, through a link
};

// A failure of the file system that the user must be told about: which file, what was being done
// with it, and the reason: the system's own words, or one the program found, with the system's
// last words where it has them.
class FileError : public std::runtime_error {
  public:
    // WriteInFolder: no file of the folder could be written (a dry run's trial).
    enum class Operation { Read, Write, CreateFolder, ListFolder, WriteInFolder };

    // `diskFull`: the system said that the device, or the user's quota, has no room left.
    FileError(Operation operation, std::string path, std::string systemReason,
              bool diskFull = false)
        : std::runtime_error(path + ": " + systemReason),
          operation_(operation),
          path_(std::move(path)),
          systemReason_(std::move(systemReason)),
          diskFull_(diskFull) {}

    FileError(Operation operation, std::string path, OwnReason own, std::string systemReason = {})
        : FileError(operation, std::move(path), std::move(systemReason)) {
        own_ = own;
    }

    // The same reason, for what the caller was doing with `path`.
    FileError(Operation operation, std::string path, const FileError& cause)
        : FileError(operation, std::move(path), cause.systemReason_) {
        own_ = cause.own_;
    }

    Operation operation() const { return operation_; }
    const std::string& path() const { return path_; }
    std::optional<OwnReason> ownReason() const { return own_; }
    const std::string& systemReason() const { return systemReason_; }
    bool diskFull() const { return diskFull_; }

  private:
    Operation operation_;
    std::string path_;
    std::string systemReason_;
    std::optional<OwnReason> own_;
    bool diskFull_ = false;
};

// The user ended the program, or asked the run to stop, while it read or waited: the run goes no
// further.
class WaitEnded final : public std::exception {
  public:
    const char* what() const noexcept override { return "the run was asked to stop"; }
};

}  // namespace orba
