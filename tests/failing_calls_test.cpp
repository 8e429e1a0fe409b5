// Every file call of a run can fail: the Nth call to the system is made to fail, for N = 1, 2, ...
// until the run completes. A run that completes all the same has written every output whole; one
// that fails names a file and a reason; either way every output is what the earlier run left or
// complete, and no temporary file stays behind but one whose removal failed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>
#include <variant>

#include "engine/markers.h"
#include "engine/upgrade_run.h"
#include "storage/files.h"
#include "storage/temporary_names.h"
#include "tests/support/run_fixtures.h"
#include "tests/support/wrapped_system.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Fails the `failAt`th call with a device error, and remembers which call that was and the path
// it was about. Watches what each output went through before it took its name: its writes checked,
// and flushed where the outputs must be on the disk, with no flush of it failed: a device reports
// a write error once, and a second flush may succeed over lost data. Documents prepared ahead make
// calls from several threads. `refusals`: what the file system refuses that a local disk allows.
// reach (FUSE, a share).
class FailNthCall final : public WrappedSystem {
  public:
    FailNthCall(int failAt, Durability durability, Refusals refusals = {})
        : WrappedSystem(refusals), failAt_(failAt), durability_(durability) {}
    std::optional<int> Decide(Call call, const std::string& path) const override {
        const std::lock_guard lock(mutex_);
        if (++calls_ == failAt_) {
            failed_ = call;
            failedPath_ = path;
            return sys::DeviceError();
        }
        return std::nullopt;
    }
    void After(const CallDone& done) const override {
        const std::lock_guard lock(mutex_);
        if (done.call == Call::WriteAt) {
            unchecked_.insert(done.file);
            unflushed_.insert(done.file);
        } else if (done.succeeded && done.call == Call::CheckWrites) {
            unchecked_.erase(done.file);
        } else if (!done.succeeded && (done.call == Call::Flush || done.call == Call::WriteOut)) {
            lost_.insert(done.file);
        } else if (!done.succeeded && done.call == Call::FlushFileSystem) {
            lost_.insert(unflushed_.begin(), unflushed_.end());
        } else if (done.call == Call::Flush) {
            unflushed_.erase(done.file);
        } else if (done.call == Call::FlushFileSystem) {
            unflushed_.clear();
        } else if (done.call == Call::Close) {
            // Its number may be given to another file; a temporary closed before its rename is
            // known by its name from now on.
            // A close that succeeded reported what a check of its writes would.
            for (std::set<File>* files : {&unchecked_, &unflushed_, &lost_}) {
                if (files->erase(done.file) > 0 && !(files == &unchecked_ && done.succeeded)) {
                    files->insert(done.path);
                }
            }
        } else if (done.succeeded && done.call == Call::MoveIntoPlace) {
            const File file = done.file != sys::kNoFile ? File(done.file) : File(done.from);
            const bool onDisk = (!unflushed_.contains(file) && !lost_.contains(file)) ||
                                durability_ == Durability::Written;
            if (unchecked_.contains(file) || !onDisk) {
                namedUnverified_.push_back(done.path);
            }
            folderFlushed_ = false;
        } else if (done.succeeded && done.call == Call::FlushFolder) {
            folderFlushed_ = true;
        }
    }
    std::optional<Call> failed() const {
        const std::lock_guard lock(mutex_);
        return failed_;
    }
    std::string failedPath() const {
        const std::lock_guard lock(mutex_);
        return failedPath_;
    }
    // Outputs that took their name with a write not checked, or not flushed where they must be.
    std::vector<std::string> namedUnverified() const {
        const std::lock_guard lock(mutex_);
        return namedUnverified_;
    }
    // Whether a folder was flushed after the last output took its name.
    bool namesFlushed() const {
        const std::lock_guard lock(mutex_);
        return folderFlushed_;
    }

  private:
    mutable std::mutex mutex_;
    int failAt_;
    Durability durability_;
    mutable int calls_ = 0;
    mutable std::optional<Call> failed_;
    mutable std::string failedPath_;
    using File = std::variant<sys::Native, std::string>;  // open, or closed and named
    mutable std::set<File> unchecked_, unflushed_;
    mutable std::set<File> lost_;  // a flush of it failed
    mutable std::vector<std::string> namedUnverified_;
    mutable bool folderFlushed_ = false;
};

bool IsTemporary(const std::string& name) {
    return name.starts_with(kTemporaryPrefix);
}

class FailingCallsTest : public UpgradeRunTest {
  protected:
    void SetUp() override {
        UpgradeRunTest::SetUp();
        for (const char* name : {"a.html", "b.html", "c.html"}) {
            WriteBytes(Join(oldFolder, name), Document("<old>", std::string("块-") + name, ""));
        }
        WriteBytes(Join(oldFolder, "none.html"), "no data block");
        // Its output is begun with the block, and dropped when the block never ends.
        WriteBytes(Join(oldFolder, "unended.html"),
                   std::string(kStartMarker) + std::string(1000, 'x'));
        // An earlier run's outputs, one of them for a document that is gone now.
        earlier = {{"a.html", "earlier a"}, {"b.html", "earlier b"}, {"gone.html", "earlier gone"}};
        RestoreEarlier();
    }

    // Every output is the earlier run's or the complete new one (as `upgraded` makes it); no
    // temporary file is visible but `allowedTemporary`, one whose removal was refused.
    template <class Upgrade>
    void ExpectOutputsWhole(const std::string& allowedTemporary, Upgrade&& upgraded) {
        for (const std::string& name : AllNames(output)) {
            if (name == kLeftover) {
                continue;  // the next run that completes removes it
            }
            if (IsTemporary(name)) {
                EXPECT_EQ(Join(output, name), allowedTemporary) << "temporary file left";
                continue;
            }
            const std::string bytes = ReadBytes(Join(output, name));
            const auto before = earlier.find(name);
            const bool asBefore = before != earlier.end() && bytes == before->second;
            const bool complete = bytes == upgraded("块-" + name);
            EXPECT_TRUE(asBefore || complete) << name << " is partial: " << bytes;
        }
    }
    void ExpectOutputsWhole() { ExpectOutputsWhole({}, Upgraded); }
    // Every document's output complete, as `upgraded` makes it.
    void ExpectEveryOutputUpgraded(
        const std::function<std::string(const std::string&)>& upgraded = Upgraded) {
        for (const char* name : {"a.html", "b.html", "c.html"}) {
            EXPECT_EQ(ReadBytes(Join(output, name)), upgraded(std::string("块-") + name)) << name;
        }
    }

    // Back to the earlier run's outputs, without what a run left.
    void RestoreEarlier() {
        std::filesystem::remove_all(output);
        MakeFolder(output);
        for (const auto& [name, text] : earlier) {
            WriteBytes(Join(output, name), text);
        }
        WriteBytes(Join(output, kLeftover), "left by a run that died");
    }

    const std::string kLeftover = std::string(kTemporaryPrefix) + "0123456789abcdef.tmp";
    std::map<std::string, std::string> earlier;
};

// Documents one after the other, as the window runs them, and prepared ahead, as the command line
// runs them.
// Each with the outputs flushed to the disk, as the window writes them, and without; flushed with
// one flush of the file system, and each on its own where one flush does not reach every file;
// and on a share, which renames no open file.
// And as the command line runs them, comparing each output with what stands at its name.
struct Sweep {
    std::size_t prepareAhead;
    Durability durability;
    Refusals refusals = {};
    bool compare = false;
};

class EveryFailingCallTest : public FailingCallsTest,
                             public ::testing::WithParamInterface<Sweep> {};

INSTANTIATE_TEST_SUITE_P(EachWay, EveryFailingCallTest,
                         ::testing::Values(Sweep{0, Durability::OnDisk},
                                           Sweep{0, Durability::OnDisk, {.oneFlush = true}},
                                           Sweep{0, Durability::OnDisk, kShare},
                                           Sweep{2, Durability::Written},
                                           Sweep{2, Durability::Written, kShare},
                                           Sweep{2, Durability::OnDisk, {}, true}),
                         [](const auto& sweep) {
                             const Refusals& refusals = sweep.param.refusals;
                             return std::string(sweep.param.compare ? "PreparedAhead"
                                                : sweep.param.prepareAhead > 0
                                                    ? "PreparedAheadUnflushed"
                                                    : "OneByOneFlushed") +
                                    (refusals.renameWhileOpen ? "OnAShare"
                                     : refusals.oneFlush      ? "EachFile"
                                                              : "") +
                                    (sweep.param.compare ? "FlushedComparing" : "");
                         });

TEST_P(EveryFailingCallTest, StopsTheRunCleanly) {
    const auto [prepareAhead, durability, refusals, compare] = GetParam();
    // The template's block stands twice, so that the old block is also copied from the output.
    WriteBytes(templatePath, kTemplateText + "<!--" + kTemplateText + "-->");
    const auto upgraded = [](const std::string& block) {
        return Upgraded(block) + "<!--" + Upgraded(block) + "-->";
    };
    if (compare) {  // an output that stands as it would be written already
        earlier["c.html"] = upgraded("块-c.html");
        RestoreEarlier();
    }
    std::set<Call> failed;
    int failAt = 1;
    for (;; ++failAt) {
        SCOPED_TRACE("call " + std::to_string(failAt) + " fails");
        FailNthCall system(failAt, durability, refusals);
        RecordingObserver failing;
        const RunResult result =
            RunUpgrade(templatePath, oldFolder, failing, Files(system, durability),
                       RunOptions{prepareAhead, false, false, compare});
        if (!system.failed()) {
            EXPECT_EQ(result.outcome, RunOutcome::Completed);
            break;
        }
        const Call call = *system.failed();
        failed.insert(call);
        SCOPED_TRACE("call kind " + std::to_string(static_cast<int>(call)));
        // A failure the run went on past (a question, a clean-up, a flush made another way) must
        // have cost nothing: a run that completes wrote every output whole, each checked, on the
        // disk where it must be, with its name. Any other failure is told, naming a file.
        if (result.outcome == RunOutcome::Completed) {
            ExpectEveryOutputUpgraded(upgraded);
            EXPECT_THAT(system.namedUnverified(), ::testing::IsEmpty());
            EXPECT_TRUE(durability == Durability::Written || system.namesFlushed());
        } else if (result.outcome == RunOutcome::Failed) {
            ASSERT_EQ(failing.failures.size(), 1u);
            const FileError& error = failing.failures[0];
            EXPECT_THAT(error.path(),
                        ::testing::AnyOf(HasSubstr(templatePath), HasSubstr(oldFolder)))
                << "the failure names a file";
            EXPECT_TRUE(error.ownReason() || !error.systemReason().empty()) << "and a reason";
            EXPECT_THAT(failing.log, ::testing::Not(HasSubstr("completed")))
                << "no closing entries";
        } else {
            EXPECT_EQ(result.outcome, RunOutcome::Refused);
            EXPECT_EQ(failing.messages.size(), 1u);
        }
        ExpectOutputsWhole(system.failedPath(), upgraded);
        // Each run begins alike, so that the Nth call is the same kind from one run to the next.
        RestoreEarlier();
        EXPECT_LT(failAt, 400) << "the run never completes";
        if (failAt >= 400) {
            break;
        }
    }
    ExpectOutputsWhole({}, upgraded);
    EXPECT_FALSE(Exists(Join(output, kLeftover)));
    EXPECT_FALSE(Exists(Join(output, "unended.html")));
    EXPECT_EQ(ReadBytes(Join(output, "gone.html")), "earlier gone");
    ExpectEveryOutputUpgraded(upgraded);
    // Every call this run makes was failed once (the output folder stands, and the template is
    // not in the folder: the other tests make the calls for those). With documents prepared
    // ahead, which call comes Nth changes from run to run.
    if (prepareAhead > 0) {
        return;
    }
    std::set<Call> expected = {Call::OpenToRead,       Call::Stamp,       Call::ReadAt,
                               Call::WriteAt,          Call::CheckWrites, Call::Close,
                               Call::MoveIntoPlace,    Call::ListFolder,  Call::KindOf,
                               Call::RemoveIfAbandoned};
    if (durability == Durability::OnDisk) {
        expected.insert({Call::FlushFolder, Call::FreeSpace});
        if (refusals.oneFlush || !sys::TheSystem().OneFlushReachesEveryFile(output)) {
            expected.insert(Call::Flush);
        } else {
            expected.insert(
                {Call::OneFlushReachesEveryFile, Call::WriteOut, Call::FlushFileSystem});
        }
    }
    const bool unnamed = sys::kUnnamedFiles && !refusals.unnamedFiles;
    expected.insert(unnamed ? Call::CreateUnnamed : Call::CreateExclusive);
    // A temporary file with a name has it removed when it is not used.
    expected.insert(unnamed ? Call::GiveName : Call::RemoveName);
    if (refusals.renameWhileOpen) {
        expected.insert(Call::KeepAtClose);
    }
    for (const Call call : expected) {
        EXPECT_TRUE(failed.contains(call)) << "never failed: " << static_cast<int>(call);
    }
}

TEST_F(FailingCallsTest, FailedCreationOfTheOutputFolderNamesIt) {
    std::filesystem::remove_all(output);
    const DecidedBy system(FailFirst(Call::MakeFolder));
    const RunResult result = RunUpgrade(templatePath, oldFolder, observer, Files(system));
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr("create folder " + output));
    EXPECT_FALSE(Exists(output));
}

TEST_F(FailingCallsTest, RefusedFolderFlushIsTheFileSystemsAnswerAndIsTold) {
    // Every flush of a folder refused, as a file system that keeps no folders of its own to flush
    // refuses it.
    const DecidedBy system([](Call call, const std::string& /*path*/) {
        return call == Call::FlushFolder ? std::optional(sys::NotSupported()) : std::nullopt;
    });
    const RunResult result =
        RunUpgrade(templatePath, oldFolder, observer, Files(system, Durability::OnDisk));
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_THAT(observer.unflushedFolders, ::testing::ElementsAre(output));
    ExpectOutputsWhole();

    // Any other failure of the flush stops the run.
    observer = {};
    const DecidedBy failing(FailFirst(Call::FlushFolder));
    EXPECT_EQ(
        RunUpgrade(templatePath, oldFolder, observer, Files(failing, Durability::OnDisk)).outcome,
        RunOutcome::Failed);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr(output));
}

// Where one flush does not reach every file, each output of the batch is flushed on its own, on
// threads of their own: the first output whose flush failed stops the run there, with the outputs
// before it in place, and it and those after it as they were.
TEST_F(FailingCallsTest, BatchFlushedFileByFileStopsAtTheFirstOutputNotOnTheDisk) {
    std::atomic<int> flushes = 0;
    const DecidedBy system([&](Call call, const std::string& /*path*/) -> std::optional<int> {
        if (call == Call::OneFlushReachesEveryFile) {
            return sys::NotSupported();
        }
        return call == Call::Flush && ++flushes == 2 ? std::optional(sys::DeviceError())
                                                     : std::nullopt;
    });
    EXPECT_EQ(
        RunUpgrade(templatePath, oldFolder, observer, Files(system, Durability::OnDisk)).outcome,
        RunOutcome::Failed);
    ASSERT_EQ(observer.messages.size(), 1u);
    bool failedYet = false;
    for (const char* name : {"a.html", "b.html", "c.html"}) {
        const bool failsHere =
            observer.messages[0].find("write " + Join(output, name)) != std::string::npos;
        failedYet = failedYet || failsHere;
        EXPECT_EQ(Exists(Join(output, name)) &&
                      ReadBytes(Join(output, name)) == Upgraded(std::string("块-") + name),
                  !failedYet)
            << name;
    }
    EXPECT_TRUE(failedYet) << observer.messages[0];
}

// A document that finds the disk full while other outputs of the run hold room is tried again
// alone once those before it took their names; one that finds it full alone fails, naming it.
// Either way by the same rule, however many documents were prepared ahead or held in a batch.
TEST_F(FailingCallsTest, DiskFullWhileOtherOutputsHoldRoomIsTriedAgainAlone) {
    for (const Sweep& way : {Sweep{0, Durability::OnDisk}, Sweep{0, Durability::OnDisk, kShare},
                             Sweep{2, Durability::OnDisk}, Sweep{2, Durability::Written}}) {
        SCOPED_TRACE(::testing::Message()
                     << "ahead " << way.prepareAhead << ", share " << way.refusals.renameWhileOpen);
        for (const int room : {1, 0}) {
            RestoreEarlier();
            observer = {};
            // A disk with room for `room` outputs being written at once, besides what stands: a
            // write into a temporary file beyond that finds the disk full. Temporaries hold room
            // until they are closed; a run's mark holds none.
            std::mutex mutex;
            int held = 0;
            std::set<sys::Native> temporaries;
            const DecidedBy disk(
                [&](Call call, const std::string& /*path*/) {
                    const std::lock_guard lock(mutex);
                    return call == Call::WriteAt && held > room ? std::optional(DiskFullError())
                                                                : std::nullopt;
                },
                way.refusals,
                [&](const CallDone& done) {
                    const std::lock_guard lock(mutex);
                    if (done.succeeded && (done.call == Call::CreateUnnamed ||
                                           (done.call == Call::CreateExclusive &&
                                            IsTemporaryName(NameOf(done.path))))) {
                        held += temporaries.insert(done.file).second ? 1 : 0;
                    } else if (done.call == Call::Close) {
                        held -= static_cast<int>(temporaries.erase(done.file));
                    }
                });
            const RunOutcome outcome =
                RunUpgrade(templatePath, oldFolder, observer, Files(disk, way.durability),
                           RunOptions{way.prepareAhead})
                    .outcome;
            if (room == 1) {
                EXPECT_EQ(outcome, RunOutcome::Completed)
                    << ::testing::PrintToString(observer.messages);
                ExpectEveryOutputUpgraded();
                continue;
            }
            EXPECT_EQ(outcome, RunOutcome::Failed);
            ASSERT_EQ(observer.messages.size(), 1u);
            EXPECT_THAT(observer.messages[0], HasSubstr("write " + Join(output, "a.html")));
            ExpectOutputsWhole();
        }
    }
}

// A document that cannot be read ends its batch: the outputs before it take their names, then
// the failure is told, as when each output is flushed on its own.
TEST_F(FailingCallsTest, UnreadableDocumentEndsTheBatchAfterTheOutputsBeforeIt) {
    const DecidedBy system([this](Call call, const std::string& path) {
        return call == Call::OpenToRead && path == Join(oldFolder, "b.html")
                   ? std::optional(sys::DeviceError())
                   : std::nullopt;
    });
    EXPECT_EQ(RunUpgrade(templatePath, oldFolder, observer, Files(system, Durability::OnDisk),
                         RunOptions{2})
                  .outcome,
              RunOutcome::Failed);
    EXPECT_THAT(observer.log, HasSubstr("upgraded 1 a.html\n"));
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr(Join(oldFolder, "b.html")));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("块-a.html"));
    EXPECT_FALSE(Exists(Join(output, "c.html"))) << "c.html is never named";
}

TEST_F(FailingCallsTest, OutputFolderMadeByAnotherRunMeanwhileIsUsed) {
    for (const bool dryRun : {true, false}) {
        SCOPED_TRACE(dryRun ? "dry run" : "run");
        std::filesystem::remove_all(output);
        // Another run makes the output folder right after this run's first look at its name.
        bool looked = false;
        bool made = false;
        const DecidedBy system([&](Call call, const std::string& path) {
            if (looked && !std::exchange(made, true)) {
                std::filesystem::create_directory(output);
            }
            looked = looked || (call == Call::KindOf && path == output);
            return std::nullopt;
        });
        const RunResult result =
            dryRun ? CheckUpgrade(templatePath, oldFolder, observer, Files(system))
                   : RunUpgrade(templatePath, oldFolder, observer, Files(system));
        EXPECT_EQ(result.outcome, RunOutcome::Completed)
            << ::testing::PrintToString(observer.messages);
    }
}

TEST_F(FailingCallsTest, OutputFolderTakenAwayByAnotherRunIsMadeAgain) {
    std::filesystem::remove_all(output);
    MakeFolder(output);  // as the other run made it
    // Another run that made the output folder, and ends before its first output, takes the
    // folder away as this run begins to write into it (its outputs have no name yet, the folder
    // looks empty): this run makes it again and completes, and puts the folder's name in its
    // parent on the disk.
    bool takenAway = false;
    bool parentFlushedLast = false;
    const DecidedBy system(
        [&](Call call, const std::string& /*path*/) {
            if ((call == Call::CreateUnnamed || call == Call::CreateExclusive) &&
                !std::exchange(takenAway, true)) {
                std::filesystem::remove(output);
            }
            return std::nullopt;
        },
        {},
        [&](const CallDone& done) {
            parentFlushedLast =
                done.call == Call::FlushFolder && done.succeeded && done.path == oldFolder;
        });
    const RunResult result =
        RunUpgrade(templatePath, oldFolder, observer, Files(system, Durability::OnDisk));
    EXPECT_EQ(result.outcome, RunOutcome::Completed) << ::testing::PrintToString(observer.messages);
    ExpectEveryOutputUpgraded();
    EXPECT_TRUE(parentFlushedLast);
}

// NewORBA that is the old-version folder through another mount of it (a FUSE view, a share of the
// same disk) has a device and an identity of its own: what a file made in it shows in FOLDER tells.
class OutputFolderMountsTheFolder final : public WrappedSystem {
  public:
    OutputFolderMountsTheFolder(std::string folder, std::string output)
        : folder_(std::move(folder)), output_(std::move(output)) {}
    std::optional<int> Decide(Call /*call*/, const std::string& /*path*/) const override {
        return std::nullopt;
    }
    sys::PathKind KindOf(const std::string& path) const override {
        const std::string name(NameOf(path));
        return WrappedSystem::KindOf(
            FolderOf(path) == folder_ && IsTemporary(name) ? Join(output_, name) : path);
    }

  private:
    std::string folder_;
    std::string output_;
};

TEST_F(FailingCallsTest, OutputFolderThatMountsTheFolderItselfIsRefused) {
    const OutputFolderMountsTheFolder system(oldFolder, output);
    for (const bool dryRun : {true, false}) {
        SCOPED_TRACE(dryRun ? "dry run" : "run");
        observer = {};
        const RunResult result =
            dryRun ? CheckUpgrade(templatePath, oldFolder, observer, Files(system))
                   : RunUpgrade(templatePath, oldFolder, observer, Files(system));
        EXPECT_EQ(result.outcome, RunOutcome::Failed);
        ASSERT_EQ(observer.messages.size(), 1u);
        EXPECT_THAT(observer.messages[0], HasSubstr(output));
        ExpectOutputsWhole();
        EXPECT_EQ(ReadBytes(Join(output, "a.html")), "earlier a") << "nothing written";
    }
}

TEST_F(FailingCallsTest, DeferredWriteFailureKeepsTheEarlierOutput) {
    // The system reports it before the output takes its name: the earlier one stays.
    const DecidedBy system(FailFirst(Call::CheckWrites));
    const RunResult result = RunUpgrade(templatePath, oldFolder, observer, Files(system));
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr("write " + Join(output, "a.html")));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), "earlier a");
    ExpectOutputsWhole();
}

TEST_F(FailingCallsTest, DryRunTriesThatTheOutputsCouldBeWritten) {
    // No temporary file can be made in NewORBA.
    const DecidedBy system(
        FailFirst(sys::kUnnamedFiles ? Call::CreateUnnamed : Call::CreateExclusive, -1));
    const RunResult result = CheckUpgrade(templatePath, oldFolder, observer, Files(system));
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr("write in folder " + output));
    EXPECT_THAT(observer.messages[0], HasSubstr("; check stopped"));
}

TEST_F(FailingCallsTest, DryRunReportsAnyFailureAsARunDoes) {
    // Calls that fail as no file call does.
    const DecidedBy system([](Call, const std::string&) -> std::optional<int> {
        throw std::runtime_error("an unexpected failure");
    });
    RecordingObserver dry;
    EXPECT_EQ(CheckUpgrade(templatePath, oldFolder, dry, Files(system)).outcome,
              RunOutcome::Failed);
    RecordingObserver run;
    EXPECT_EQ(RunUpgrade(templatePath, oldFolder, run, Files(system)).outcome, RunOutcome::Failed);
    EXPECT_THAT(dry.messages, ElementsAre("unexpected an unexpected failure"));
    EXPECT_THAT(run.messages, ElementsAre("unexpected an unexpected failure"));
    EXPECT_THAT(dry.stops, ElementsAre(Stopped::Check)) << "told as a check that writes nothing";
    EXPECT_THAT(run.stops, ElementsAre(Stopped::RunBeforeAnyOutput));
}

TEST_F(UpgradeRunTest, DryRunNamesEveryDocumentItCannotReadAndGoesOn) {
    for (const char* name : {"a.html", "b.html", "c.html", "d.html"}) {
        WriteBytes(Join(oldFolder, name), Document("", name, ""));
    }
    // Documents that cannot be read: the dry run names each and goes on to the end.
    const DecidedBy system([](Call call, const std::string& path) {
        return call == Call::OpenToRead && (path.ends_with("a.html") || path.ends_with("c.html"))
                   ? std::optional(sys::DeviceError())
                   : std::nullopt;
    });
    const RunResult result = CheckUpgrade(templatePath, oldFolder, observer, Files(system));
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    EXPECT_EQ(result.failed, 2u);
    EXPECT_EQ(result.upgraded, 2u) << "b.html and d.html were looked at too";
    ASSERT_EQ(observer.messages.size(), 2u);
    EXPECT_THAT(observer.messages[0], HasSubstr(Join(oldFolder, "a.html")));
    EXPECT_THAT(observer.messages[1], HasSubstr(Join(oldFolder, "c.html")));
    EXPECT_FALSE(Exists(output));
}

}  // namespace
}  // namespace orba
