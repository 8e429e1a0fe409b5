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
#include "engine/text.h"
#include "engine/upgrade_run.h"
#include "storage/file_error.h"
#include "storage/paths.h"

namespace orba {

namespace {

// Where the program writes, and whether each stream is a terminal: there names and paths are
// shown escaped, elsewhere as the bytes they are. The log's entries end their line only when the
// next begins, so a line of standard error must first end the log's line wherever both are seen
// together: on a terminal the log's line is ended (and so is the last one, at the end), and in a
// file or pipe that both streams write into, standard error's text begins with the line end, so
// that the log's own bytes stay as they are.
class Streams {
  public:
    Streams(std::FILE* output, std::FILE* errors)
        : out_(output),
          err_(errors),
          outIsTerminal_(cli::IsTerminal(output)),
          errIsTerminal_(cli::IsTerminal(errors)),
          sharedWithOut_(!errIsTerminal_ && cli::SameDestination(output, errors)) {}

    std::string ShownOnOut(std::string_view text) const {
        return outIsTerminal_ ? cli::TerminalSafe(text) : std::string(text);
    }
    std::string ShownOnErr(std::string_view text) const {
        return errIsTerminal_ ? cli::TerminalSafe(text) : std::string(text);
    }

    // Writes to standard output; false, with the system's error code kept, when it could not be
    // written whole.
    bool Out(std::string_view text) {
        errno = 0;
        if (!cli::WriteText(out_, text)) {
            outError_ = errno != 0 ? errno : EIO;
            std::clearerr(out_);
            return false;
        }
        if (!text.empty()) {
            outLineOpen_ = text.back() != '\n';
        }
        return true;
    }
    void Err(std::string_view text) {
        if (errIsTerminal_) {
            EndOutLine();
        } else if (sharedWithOut_ && outLineOpen_) {
            outLineOpen_ = false;
            cli::WriteText(err_, cli::kLineEnd);
        }
        cli::WriteText(err_, text);
    }
    // The end of the program: the last line ended, and standard output checked as the GNU tools
    // check it at their close.
    bool Finish() {
        EndOutLine();
        if (outError_ == 0 && std::fflush(out_) != 0) {
            outError_ = errno != 0 ? errno : EIO;
        }
        return outError_ == 0;
    }
    int outError() const { return outError_; }

  private:
    void EndOutLine() {
        if (outIsTerminal_ && outLineOpen_) {
            Out(cli::kLineEnd);
        }
    }

    std::FILE* out_;
    std::FILE* err_;
    bool outIsTerminal_;
    bool errIsTerminal_;
    bool sharedWithOut_;
    bool outLineOpen_ = false;
    int outError_ = 0;
};

// The paths as given on the command line, for the input problems.
struct Operands {
    std::string_view templatePath;
    std::string_view folder;
};

// What a run or a dry run tells, in the language of the command line: failures and input problems
// on standard error; a run's log on standard output, the window's own entries; each entry of the
// folder as a line, a dry run's every one on standard output, a run's on standard error with -v
// (and a map that looks damaged or half-saved, or empty, even without).
class CommandLineObserver final : public RunObserver {
  public:
    CommandLineObserver(Streams& streams, cli::Language language, const Operands& operands,
                        bool dryRun, bool verbose)
        : streams_(streams),
          language_(language),
          operands_(operands),
          dryRun_(dryRun),
          verbose_(verbose) {}

    void Refused(InputProblem problem, FoundAtPath found) override {
        streams_.Err(cli::InputProblemLines(
            language_, problem, found,
            streams_.ShownOnErr(IsAboutTemplate(problem) ? operands_.templatePath
                                                         : operands_.folder)));
    }
    void Failed(const FileError& error, Stopped stopped) override {
        streams_.Err(
            cli::FailureLines(language_, error, streams_.ShownOnErr(error.path()), stopped));
    }
    void FailedUnexpectedly(std::string_view description, Stopped stopped) override {
        streams_.Err(
            cli::UnexpectedFailureLines(language_, streams_.ShownOnErr(description), stopped));
    }

    void Started(std::uint64_t /*documents*/) override {
        if (!dryRun_) {  // a dry run has no log
            Log(zh::StartEntry());
        }
    }
    void Upgraded(std::string_view name, std::uint64_t number) override {
        Log(zh::DocumentEntry(number, streams_.ShownOnOut(name)));
    }
    void Completed(std::string_view outputFolder, std::uint64_t upgraded) override {
        Log(zh::EndEntries(upgraded, streams_.ShownOnOut(outputFolder)));
    }
    void Changed(std::string_view name, UpgradeChange change) override {
        Entry(verbose_, name, [&](std::string_view shown) {
            return dryRun_ ? cli::WouldUpgradeLine(language_, shown, change)
                           : cli::UpgradedLine(language_, shown, change);
        });
    }
    void PassedOver(std::string_view name, PassedOverReason reason) override {
        ++counts.passedOver;
        Entry(verbose_ || reason == PassedOverReason::BlockCutOff ||
                  reason == PassedOverReason::EmptyBlock,
              name, [&](std::string_view shown) {
                  return cli::PassedOverLine(language_, shown, reason);
              });
    }
    void NotLookedAt(std::string_view name, NotLookedAtReason reason) override {
        if (reason != NotLookedAtReason::OutputFolder) {
            ++counts.notLookedAt;
        }
        Entry(verbose_, name, [&](std::string_view shown) {
            return cli::NotLookedAtLine(language_, shown, reason);
        });
    }
    void FolderFlushRefused(std::string_view folder, std::string_view reason) override {
        if (verbose_) {
            streams_.Err(
                cli::FolderFlushRefusedLine(language_, streams_.ShownOnErr(folder), reason));
        }
    }

    cli::Counts counts;
    bool logFailed = false;  // and said so

  private:
    // A log that cannot be written (a full disk, an I/O error) stops the run at once: every
    // output so far is complete, and the failure is told on standard error.
    void Log(const std::string& entry) {
        if (!streams_.Out(entry)) {
            logFailed = true;
            throw FileError(FileError::Operation::Write,
                            std::string(cli::StandardOutputName(language_)),
                            std::strerror(streams_.outError()));
        }
    }
    // An entry's line, made by `line` from its name as shown where it goes.
    template <class Line>
    void Entry(bool shownInARun, std::string_view name, Line&& line) {
        if (dryRun_) {
            streams_.Out(line(streams_.ShownOnOut(name)));
        } else if (shownInARun) {
            streams_.Err(line(streams_.ShownOnErr(name)));
        }
    }

    Streams& streams_;
    cli::Language language_;
    const Operands& operands_;
    bool dryRun_;
    bool verbose_;
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
                   cli::Language language, std::stop_token stop) {
    Streams streams(out, err);
    int status = kExitCompleted;
    bool reported = false;  // a failure to write standard output was told already
    const cli::Arguments arguments = cli::ParseArguments(words);
    if (arguments.error) {
        streams.Err(cli::UsageErrorLines(language, arguments.error->kind,
                                         streams.ShownOnErr(arguments.error->word)));
        status = kExitUsage;
    } else if (arguments.help) {
        streams.Out(cli::Usage(language));
    } else if (arguments.version) {
        streams.Out(std::string(identity::kProductName) + " " +
                    std::string(identity::kVersionText) + std::string(cli::kLineEnd));
    } else {
        const Operands operands{arguments.operands[0], arguments.operands[1]};
        CommandLineObserver observer(streams, language, operands, arguments.dryRun,
                                     arguments.verbose);
        RunOptions options;
        options.recursive = arguments.recursive;
        RunResult result{RunOutcome::Completed};
        if (arguments.dryRun) {
            result = CheckUpgrade(operands.templatePath, operands.folder, observer,
                                  Files().StoppingAt(stop), options);
        } else {
            // The next documents are prepared on the other core while one takes its place; the
            // log and the outputs are the same as one after the other. Flushed outputs wait for
            // the disk, and many flushes at once cost the disk little more than one: then many
            // are prepared at once.
            options.prepareAhead = arguments.sync ? 16 : 2;
            options.keepGoing = arguments.keepGoing;
            options.compare = true;  // an output whose bytes stand already is not written again
            const Files files =
                Files(sys::TheSystem(), arguments.sync ? Durability::OnDisk : Durability::Written)
                    .StoppingAt(stop);
            result = RunUpgrade(operands.templatePath, operands.folder, observer, files, options);
        }
        status = ExitStatusOf(result.outcome);
        reported = observer.logFailed;
        // A run or a check that went through to its end, past documents it could not read or
        // upgrade, sums up: a dry run always, a run where -v asks, where it went through a tree,
        // and where anything was not upgraded.
        observer.counts.upgraded = result.upgraded;
        observer.counts.failed = result.failed;
        observer.counts.folders = arguments.recursive ? result.folders : 0;
        if (result.outcome == RunOutcome::Completed || result.failed > 0) {
            if (arguments.dryRun) {
                streams.Out(cli::DryRunSummary(language, observer.counts));
            } else if (arguments.verbose || arguments.recursive ||
                       observer.counts.notUpgraded() > 0) {
                streams.Err(cli::RunSummary(language, observer.counts, arguments.verbose));
            }
        }
    }
    if (!streams.Finish() && !reported) {
        streams.Err(cli::WriteErrorLine(language, std::strerror(streams.outError())));
        status = kExitFailed;
    }
    return status;
}

}  // namespace orba
