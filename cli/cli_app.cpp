#include "cli/cli_app.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "app/identity.h"
#include "engine/upgrade_run.h"
#include "storage/file_error.h"

namespace orba {

namespace {

constexpr std::string_view kUsage =
    "Usage: orba-upgrade TEMPLATE FOLDER\n"
    "\n"
    "Upgrades every *.html mind map in FOLDER to the version of TEMPLATE: each document's data\n"
    "block is put into a copy of TEMPLATE, written to FOLDER/NewORBA under the same name.\n"
    "The documents in FOLDER are never changed.\n"
    "\n"
    "The progress log goes to standard output (UTF-8, CR LF), problems to standard error.\n"
    "Exit status: 0 done, 2 a problem with TEMPLATE or FOLDER, 1 a file could not be read or\n"
    "written, 64 wrong usage.\n"
    "\n"
    "Options:\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

bool Write(std::FILE* stream, std::string_view text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written;
}

// Log entries to standard output as they are made; messages to standard error; no pause.
class ConsoleHost final : public RunHost {
  public:
    ConsoleHost(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    // A log that cannot be written (a full disk, an I/O error) stops the run at once: every
    // output so far is complete, and the failure is told on standard error.
    void AppendLog(std::string_view entry) override {
        errno = 0;
        if (!Write(out_, entry)) {
            const int error = errno != 0 ? errno : EIO;
            std::clearerr(out_);
            throw FileError(FileError::Operation::Write, "标准输出", std::strerror(error));
        }
    }
    void ShowMessage(std::string_view text) override { Write(err_, std::string(text) + "\n"); }
    bool AfterDocumentEntry() override { return true; }
    void AfterResultEntry() override {}

  private:
    std::FILE* out_;
    std::FILE* err_;
};

}  // namespace

int RunCommandLine(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
    if (arguments.size() == 1 && arguments[0] == "--help") {
        Write(out, kUsage);
        return kExitCompleted;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        Write(out, std::string(identity::kProductName) + " " + std::string(identity::kVersionText) +
                       "\n");
        return kExitCompleted;
    }
    if (arguments.size() != 2) {
        Write(err, kUsage);
        return kExitUsage;
    }
    ConsoleHost host(out, err);
    // The next documents are prepared on the other core while one takes its place; the log and
    // the outputs are the same as one after the other. Peak memory stays within the template and
    // three documents.
    constexpr std::size_t kPrepareAhead = 2;
    switch (RunUpgrade(arguments[0], arguments[1], host, Files(), kPrepareAhead).outcome) {
        case RunOutcome::Completed:
            return kExitCompleted;
        case RunOutcome::Refused:
            return kExitRefused;
        case RunOutcome::Failed:
        case RunOutcome::Stopped:
            break;
    }
    return kExitFailed;
}

}  // namespace orba
