#include "cli/cli_app.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "app/identity.h"
#include "cli/arguments.h"
#include "cli/cli_texts.h"
#include "cli/terminal_text.h"
#include "cli/text_output.h"
#include "engine/upgrade_run.h"
#include "storage/file_error.h"

namespace orba {

namespace {

bool Write(std::FILE* stream, std::string_view text) {
    return cli::WriteText(stream, text);
}

// Where the program writes, and whether each stream is a terminal: there names and paths are
// shown escaped, elsewhere as the bytes they are.
struct Streams {
    Streams(std::FILE* output, std::FILE* errors)
        : out(output),
          err(errors),
          outIsTerminal(cli::IsTerminal(output)),
          errIsTerminal(cli::IsTerminal(errors)) {}

    std::string ShownOnOut(std::string_view text) const {
        return outIsTerminal ? cli::TerminalSafe(text) : std::string(text);
    }
    std::string ShownOnErr(std::string_view text) const {
        return errIsTerminal ? cli::TerminalSafe(text) : std::string(text);
    }

    std::FILE* out;
    std::FILE* err;
    bool outIsTerminal;
    bool errIsTerminal;
};

// Log entries to standard output as they are made; messages to standard error; no pause.
class ConsoleHost final : public RunHost {
  public:
    ConsoleHost(const Streams& streams, cli::Language language, bool verbose)
        : streams_(streams),
          out_(streams.out),
          err_(streams.err),
          language_(language),
          verbose_(verbose) {}

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
            Write(err_, cli::PassedOverLine(language_, streams_.ShownOnErr(name), reason));
        }
    }
    std::string Shown(std::string_view text, ShownIn where) const override {
        return where == ShownIn::Log ? streams_.ShownOnOut(text) : streams_.ShownOnErr(text);
    }

  private:
    const Streams& streams_;
    std::FILE* out_;
    std::FILE* err_;
    cli::Language language_;
    bool verbose_;
};

// A dry run's lines to standard output, messages to standard error.
class DryRunHost final : public RunHost {
  public:
    DryRunHost(const Streams& streams, cli::Language language)
        : streams_(streams), out_(streams.out), err_(streams.err), language_(language) {}

    void AppendLog(std::string_view) override {}
    void ShowMessage(std::string_view text) override { Write(err_, std::string(text) + "\n"); }
    bool AfterDocumentEntry() override { return true; }
    void AfterResultEntry() override {}
    void WouldUpgrade(std::string_view name) override {
        Write(out_, cli::WouldUpgradeLine(language_, streams_.ShownOnOut(name)));
    }
    void PassedOver(std::string_view name, PassedOverReason reason) override {
        ++passedOver;
        Write(out_, cli::PassedOverLine(language_, streams_.ShownOnOut(name), reason));
    }
    std::string Shown(std::string_view text, ShownIn /*where: messages only*/) const override {
        return streams_.ShownOnErr(text);
    }

    std::uint64_t passedOver = 0;

  private:
    const Streams& streams_;
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

int RunCommandLine(std::span<const std::string_view> words, std::FILE* out, std::FILE* err,
                   cli::Language language) {
    const Streams streams(out, err);
    const cli::Arguments arguments = cli::ParseArguments(words);
    if (arguments.error) {
        Write(err, cli::UsageErrorLines(language, arguments.error->kind,
                                        streams.ShownOnErr(arguments.error->word)));
        return kExitUsage;
    }
    if (arguments.help) {
        Write(out, cli::Usage(language));
        return kExitCompleted;
    }
    if (arguments.version) {
        Write(out, std::string(identity::kProductName) + " " + std::string(identity::kVersionText) +
                       "\n");
        return kExitCompleted;
    }
    const std::string_view templatePath = arguments.operands[0];
    const std::string_view folder = arguments.operands[1];
    if (arguments.dryRun) {
        DryRunHost host(streams, language);
        const RunResult result = CheckUpgrade(templatePath, folder, host);
        if (result.outcome == RunOutcome::Completed) {
            Write(out, cli::DryRunSummary(language, result.upgraded, host.passedOver));
        }
        return ExitStatusOf(result.outcome);
    }
    ConsoleHost host(streams, language, arguments.verbose);
    // The next documents are prepared on the other core while one takes its place; the log and
    // the outputs are the same as one after the other. Flushed outputs wait for the disk, and
    // many flushes at once cost the disk little more than one: then many are prepared at once.
    const std::size_t prepareAhead = arguments.sync ? 16 : 2;
    const Files files(sys::TheSystem(), arguments.sync ? Durability::OnDisk : Durability::Written);
    return ExitStatusOf(RunUpgrade(templatePath, folder, host, files, prepareAhead).outcome);
}

}  // namespace orba
