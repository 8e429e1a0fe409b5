// Power cuts at every point of a run, over the system's calls as this system makes them: where
// outputs must be on the disk, no state loses an earlier output or shows a part of one, and once
// the run has reported its end every output it told of is there and complete. Faulty protocols,
// planted through the same recorder, show that the explorer would see each fault.

#include "tests/support/crash_explorer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <regex>
#include <set>

#include "engine/upgrade_run.h"
#include "storage/files.h"
#include "tests/support/run_fixtures.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// Tells the recorder when the user hears that the run is over: its end, a failure.
class ReportingObserver final : public RecordingObserver {
  public:
    explicit ReportingObserver(const DiskRecorder& disk) : disk_(disk) {}
    void Completed(std::string_view outputFolder, std::uint64_t upgraded) override {
        disk_.MarkReported();
        RecordingObserver::Completed(outputFolder, upgraded);
    }
    void Failed(const FileError& error, Stopped stopped) override {
        disk_.MarkReported();
        RecordingObserver::Failed(error, stopped);
    }
    void FailedUnexpectedly(std::string_view description, Stopped stopped) override {
        disk_.MarkReported();
        RecordingObserver::FailedUnexpectedly(description, stopped);
    }

  private:
    const DiskRecorder& disk_;
};

class CrashExplorerTest : public UpgradeRunTest {
  protected:
    void SetUp() override {
        UpgradeRunTest::SetUp();
        for (const char* name : {"a.html", "b.html", "c.html"}) {
            WriteBytes(Join(oldFolder, name), Document("", std::string("块 ") + name, ""));
            rules.upgraded[name] = Upgraded(std::string("块 ") + name);
        }
        rules.parentFolder = oldFolder;
        rules.outputFolder = output;
    }

    void WithEarlierOutputs() {
        MakeFolder(output);
        for (const char* name : {"a.html", "b.html", "c.html"}) {
            WriteBytes(Join(output, name), std::string("earlier ") + name);
            rules.earlier[name] = std::string("earlier ") + name;
        }
    }

    // Runs with `disk`'s calls and explores them; the outputs the log tells of must stay.
    std::vector<std::string> RunAndExplore(const DiskRecorder& disk,
                                           Durability durability = Durability::OnDisk,
                                           std::size_t prepareAhead = 0,
                                           std::function<bool()> onDocument = nullptr) {
        ReportingObserver reporting(disk);
        reporting.onDocument = std::move(onDocument);
        const RunResult result =
            RunUpgrade(templatePath, oldFolder, reporting, reporting.With(Files(disk, durability)),
                       RunOptions{prepareAhead});
        if (result.outcome == RunOutcome::Stopped) {
            disk.MarkReported();  // the window ends
        }
        const std::regex entry(R"(upgraded \d+ ([^\n]+))");
        for (std::sregex_iterator at(reporting.log.begin(), reporting.log.end(), entry), end;
             at != end; ++at) {
            rules.reported.push_back((*at)[1]);
        }
        outcome = result.outcome;
        return ExploreCrashes(disk.Events(), rules);
    }

    CrashRules rules;
    RunOutcome outcome = RunOutcome::Refused;
};

TEST_F(CrashExplorerTest, EveryWayARunEndsKeepsItsOutputsThroughAPowerCut) {
    {
        SCOPED_TRACE("a fresh run");
        const DiskRecorder disk;
        EXPECT_THAT(RunAndExplore(disk), IsEmpty());
        EXPECT_EQ(outcome, RunOutcome::Completed);
        EXPECT_EQ(rules.reported.size(), 3u);
        // The three outputs were one batch: the cuts explored fall between its flush and its
        // names, among its names, and before the folder's flush.
        const auto events = disk.Events();
        const auto firstRename = std::find_if(events.begin(), events.end(), [](const auto& event) {
            return event.kind == DiskRecorder::Event::Kind::Rename;
        });
        EXPECT_EQ(std::count_if(events.begin(), firstRename,
                                [](const auto& event) {
                                    return event.kind == DiskRecorder::Event::Kind::Flush;
                                }),
                  3);
    }
    std::filesystem::remove_all(output);
    rules.reported.clear();
    {
        SCOPED_TRACE("a fresh run preparing documents ahead, as the command line does");
        const DiskRecorder disk;
        EXPECT_THAT(RunAndExplore(disk, Durability::OnDisk, 2), IsEmpty());
        EXPECT_EQ(rules.reported.size(), 3u);
    }
    rules.reported.clear();
    WithEarlierOutputs();
    {
        SCOPED_TRACE("a run that replaces earlier outputs");
        const DiskRecorder disk;
        EXPECT_THAT(RunAndExplore(disk), IsEmpty());
        EXPECT_EQ(rules.reported.size(), 3u);
    }
    rules.reported.clear();
    {
        SCOPED_TRACE("the same on a share, which renames no open file");
        const DiskRecorder disk(PlantedFault::None, {}, kShare);
        EXPECT_THAT(RunAndExplore(disk), IsEmpty());
        EXPECT_EQ(rules.reported.size(), 3u);
    }
}

TEST_F(CrashExplorerTest, FailedAndStoppedRunsKeepWhatTheyWroteThroughAPowerCut) {
    {
        SCOPED_TRACE("a run that fails at its third output");
        MakeFolder(output);
        MakeFolder(Join(output, "c.html"));  // the name is taken
        const DiskRecorder disk;
        EXPECT_THAT(RunAndExplore(disk), IsEmpty());
        EXPECT_EQ(outcome, RunOutcome::Failed);
        EXPECT_EQ(rules.reported.size(), 2u);
    }
    std::filesystem::remove_all(output);
    rules.reported.clear();
    {
        SCOPED_TRACE("a run stopped after its second document");
        int documents = 0;
        const DiskRecorder disk;
        EXPECT_THAT(RunAndExplore(disk, Durability::OnDisk, 0, [&] { return ++documents < 2; }),
                    IsEmpty());
        EXPECT_EQ(outcome, RunOutcome::Stopped);
        EXPECT_EQ(rules.reported.size(), 2u);
    }
}

// A device that loses a batch's writes says so once, to the call that asks first: no output of
// that batch may take its name, whichever call of the flush it was.
TEST_F(CrashExplorerTest, BatchWhoseFlushFailedIsNeverNamed) {
    const std::set<Call> failings[] = {
        {Call::WriteOut}, {Call::FlushFileSystem}, {Call::OneFlushReachesEveryFile, Call::Flush}};
    for (const std::set<Call>& failing : failings) {
        SCOPED_TRACE("fails first: " + std::to_string(static_cast<int>(*failing.rbegin())));
        std::filesystem::remove_all(output);
        rules.reported.clear();
        const DiskRecorder disk(PlantedFault::None, failing);
        EXPECT_THAT(RunAndExplore(disk), IsEmpty());
        // Where a single flush does not reach this disk, its calls are never made.
        const bool flushFailed =
            failing.contains(Call::Flush) || sys::TheSystem().OneFlushReachesEveryFile(oldFolder);
        EXPECT_EQ(outcome, flushFailed ? RunOutcome::Failed : RunOutcome::Completed);
    }
}

TEST_F(CrashExplorerTest, EachPlantedFaultShowsInAState) {
    const struct {
        PlantedFault fault;
        const char* shows;
    } cases[] = {
        {PlantedFault::DataFlushSwallowed, "bytes, neither the earlier output nor the new one"},
        {PlantedFault::FolderFlushSwallowed, "may be missing or not the new output"},
        {PlantedFault::RenameBeforeFlush, "bytes, neither the earlier output nor the new one"},
        {PlantedFault::NewFolderNeverInParent, "may be missing or not the new output"},
    };
    for (const auto& [fault, shows] : cases) {
        SCOPED_TRACE(shows);
        std::filesystem::remove_all(output);
        rules.reported.clear();
        const DiskRecorder disk(fault);
        EXPECT_THAT(RunAndExplore(disk), Contains(HasSubstr(shows)));
    }
}

// Without --sync the outputs are the system's to write when it will, as cp's are: a power cut may
// leave one empty or cut short; the old-version documents are never touched.
TEST_F(CrashExplorerTest, WithoutFlushesOnlyTheOriginalsAreSafeFromAPowerCut) {
    WithEarlierOutputs();
    const DiskRecorder disk;
    const std::vector<std::string> faults = RunAndExplore(disk, Durability::Written);
    EXPECT_THAT(faults, Contains(HasSubstr("neither the earlier output nor the new one")));
    EXPECT_THAT(faults, Not(Contains(HasSubstr("old-version folder"))));
}

}  // namespace
}  // namespace orba
