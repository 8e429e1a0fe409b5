#include "cli/cli_app.h"

#include <string>

#include "app/identity.h"
#include "engine/upgrade_run.h"

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

void Write(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// Log entries to standard output as they are made; messages to standard error; no pause.
class ConsoleHost final : public RunHost {
  public:
    ConsoleHost(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    void AppendLog(std::string_view entry) override { Write(out_, entry); }
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
    switch (RunUpgrade(arguments[0], arguments[1], host).outcome) {
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
