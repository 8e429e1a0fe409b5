#include "cli/cli_app.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "app/identity.h"
#include "cli/cli_texts.h"
#include "engine/upgrade_run.h"
#include "storage/file_error.h"

namespace orba {

namespace {

bool Write(std::FILE* stream, std::string_view text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written;
}

// Log entries to standard output as they are made; messages to standard error; no pause.
class ConsoleHost final : public RunHost {
  public:
    ConsoleHost(std::FILE* out, std::FILE* err, cli::Language language, bool verbose)
        : out_(out), err_(err), language_(language), verbose_(verbose) {}

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
    void PassedOver(std::string_view name, PassedOverReason reason) override {
        if (verbose_) {
            Write(err_, cli::PassedOverLine(language_, name, reason));
        }
    }

  private:
    std::FILE* out_;
    std::FILE* err_;
    cli::Language language_;
    bool verbose_;
};

// A dry run's lines to standard output, messages to standard error.
class DryRunHost final : public RunHost {
  public:
    DryRunHost(std::FILE* out, std::FILE* err, cli::Language language)
        : out_(out), err_(err), language_(language) {}

    void AppendLog(std::string_view) override {}
    void ShowMessage(std::string_view text) override { Write(err_, std::string(text) + "\n"); }
    bool AfterDocumentEntry() override { return true; }
    void AfterResultEntry() override {}
    void WouldUpgrade(std::string_view name) override {
        Write(out_, cli::WouldUpgradeLine(language_, name));
    }
    void PassedOver(std::string_view name, PassedOverReason reason) override {
        ++passedOver;
        Write(out_, cli::PassedOverLine(language_, name, reason));
    }

    std::uint64_t passedOver = 0;

  private:
    std::FILE* out_;
    std::FILE* err_;
    cli::Language language_;
};

int ExitStatusOf(RunOutcome outcome) {
    switch (outcome) {
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

}  // namespace

int RunCommandLine(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err,
                   cli::Language language) {
    bool help = false;
    bool version = false;
    bool dryRun = false;
    bool verbose = false;
    std::vector<std::string_view> paths;
    bool optionsEnded = false;
    for (const std::string_view argument : arguments) {
        if (optionsEnded || argument.size() < 2 || !argument.starts_with('-')) {
            paths.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument == "-V" || argument == "--version") {
            version = true;
        } else if (argument == "-n" || argument == "--dry-run") {
            dryRun = true;
        } else if (argument == "-v" || argument == "--verbose") {
            verbose = true;
        } else {
            Write(err, cli::Usage(language));
            return kExitUsage;
        }
    }
    if (help) {
        Write(out, cli::Usage(language));
        return kExitCompleted;
    }
    if (version) {
        Write(out, std::string(identity::kProductName) + " " + std::string(identity::kVersionText) +
                       "\n");
        return kExitCompleted;
    }
    if (paths.size() != 2) {
        Write(err, cli::Usage(language));
        return kExitUsage;
    }
    if (dryRun) {
        DryRunHost host(out, err, language);
        const RunResult result = CheckUpgrade(paths[0], paths[1], host);
        if (result.outcome == RunOutcome::Completed) {
            Write(out, cli::DryRunSummary(language, result.upgraded, host.passedOver));
        }
        return ExitStatusOf(result.outcome);
    }
    ConsoleHost host(out, err, language, verbose);
    // The next documents are prepared on the other core while one takes its place; the log and
    // the outputs are the same as one after the other. Peak memory stays within the template and
    // three documents.
    constexpr std::size_t kPrepareAhead = 2;
    return ExitStatusOf(RunUpgrade(paths[0], paths[1], host, Files(), kPrepareAhead).outcome);
}

}  // namespace orba
