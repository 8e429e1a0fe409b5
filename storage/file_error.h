#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "storage/file_reasons.h"

namespace orba {

// A failure of the file system that the user must be told about: which file, what was being done
// with it, and the system's own reason.
class FileError : public std::runtime_error {
  public:
    // WriteInFolder: no file of the folder could be written (a dry run's trial).
    enum class Operation { Read, Write, CreateFolder, ListFolder, WriteInFolder };

    // The system refused, for `reason` in its own words.
    FileError(Operation operation, std::string path, std::string reason)
        : std::runtime_error(path + ": " + reason),
          operation_(operation),
          path_(std::move(path)),
          reason_(reason),
          systemReason_(std::move(reason)) {}

    // The program found `own` itself; `systemReason`, when given, is the system's last word.
    FileError(Operation operation, std::string path, reasons::Own own,
              std::string systemReason = {})
        : FileError(operation, std::move(path),
                    std::string(reasons::Words(own)) +
                        (systemReason.empty() ? "" : "（" + systemReason + "）")) {
        own_ = own;
        systemReason_ = std::move(systemReason);
    }

    Operation operation() const { return operation_; }
    const std::string& path() const { return path_; }
    // The whole reason as the window shows it.
    const std::string& reason() const { return reason_; }
    // Its parts, for a front end that words the program's own reasons in another language.
    std::optional<reasons::Own> ownReason() const { return own_; }
    const std::string& systemReason() const { return systemReason_; }

  private:
    Operation operation_;
    std::string path_;
    std::string reason_;
    std::optional<reasons::Own> own_;
    std::string systemReason_;
};

// The user ended the program, or asked the run to stop, while it read or waited: the run goes no
// further.
class WaitEnded final : public std::exception {
  public:
    const char* what() const noexcept override { return "the wait for a held file was ended"; }
};

}  // namespace orba
