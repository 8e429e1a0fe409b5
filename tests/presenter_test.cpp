// The main window's behaviour, once for every front end: its handlers against a window without a
// toolkit, a desktop whose dialogs are answered in advance and a scripted run; no file is made.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "app/identity.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/fake_main_window_view.h"
#include "tests/support/scripted_run.h"
#include "tests/support/test_support.h"
#include "ui/layout_table.h"
#include "ui/orba_update_tool.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ui::ORBAUpdateTool;

constexpr std::string_view kReady = " 准备就绪...\r\n";

class PresenterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop.applicationFolder = application;
        tool.Form_Load();
        view.folderBox = oldFolder;
    }

    // The start-up finds the files of `existing`, and the run is the script's.
    ui::WindowFiles Files() {
        ui::WindowFiles files = run.Files();
        files.startUp.exists = [this](const std::string& path) { return existing.contains(path); };
        return files;
    }

    std::string application = "app";
    std::set<std::string> existing = {Join("app", "orba.html")};
    std::string oldFolder = "old";
    std::string output = Join(oldFolder, "NewORBA");
    ScriptedRun run;
    FakeDesktop desktop;
    FakeMainWindowView view;
    ORBAUpdateTool tool{view, desktop, Files()};
};

TEST(PresenterStartTest, LogReadsReadyBeforeAnyRun) {
    FakeDesktop desktop;
    FakeMainWindowView view;
    ScriptedRun run;
    const ORBAUpdateTool tool(view, desktop, run.Files());
    EXPECT_EQ(view.logBox, kReady);
}

TEST_F(PresenterTest, LoadFillsTheBoxesFromTheApplicationFolder) {
    EXPECT_EQ(view.templateBox, Join("app", "orba.html"));
    existing.clear();
    tool.Form_Load();
    EXPECT_EQ(view.templateBox, "");
    EXPECT_EQ(view.folderBox, "app");
    EXPECT_THAT(desktop.messages, IsEmpty()) << "no dialog control file to provision here";
}

TEST_F(PresenterTest, TemplatePickerFillsBothBoxesAndCancelStillDerivesTheFolder) {
    const std::string chosen = Join(Join("app", "spring"), "模板.html");
    desktop.filesToChoose = {chosen, ""};
    tool.Click(ui::Control("BT_SELECT_MOD_FILE"));
    EXPECT_EQ(view.templateBox, chosen);
    EXPECT_EQ(view.folderBox, Join("app", "spring"));
    ASSERT_EQ(desktop.offeredFilters.size(), 2u);
    EXPECT_EQ(desktop.offeredFilters[0].description, "HTML Files (*.htm; *.html)");
    EXPECT_EQ(desktop.offeredFilters[1].description, "All Files (*.*)");

    view.folderBox = "elsewhere";
    tool.Click(ui::Control(
        "BT_SELECT_MOD_FILE"));  // cancelled: the template box stays, its folder is taken
    EXPECT_EQ(view.templateBox, chosen);
    EXPECT_EQ(view.folderBox, Join("app", "spring"));
}

TEST_F(PresenterTest, FolderPickerSetsTheFolderBoxExactlyAndCancelKeepsIt) {
    desktop.foldersToChoose = {"旧 脑图", ""};
    tool.Click(ui::Control("BT_BROWSE_OLD_FOLDER"));
    EXPECT_EQ(view.folderBox, "旧 脑图");
    tool.Click(ui::Control("BT_BROWSE_OLD_FOLDER"));
    EXPECT_EQ(view.folderBox, "旧 脑图");
    EXPECT_THAT(desktop.folderPickerTitles,
                ElementsAre("请选择旧版 ORBA 所在的文件夹", "请选择旧版 ORBA 所在的文件夹"));
}

TEST_F(PresenterTest, WebButtonOpensTheMakersAddress) {
    tool.Click(ui::Control("BT_LINK_WEB"));
    EXPECT_THAT(desktop.openedAddresses, ElementsAre(std::string(identity::kMakerWebAddress)));
}

TEST_F(PresenterTest, EveryButtonOfTheTableHasItsHandlerAndNothingElseActs) {
    tool.Click(ui::Control("Label1"));
    tool.Click(ui::Control("TXT_MOD_FILE"));
    EXPECT_EQ(desktop.endRequests, 0);
    EXPECT_EQ(view.logBox, kReady);
    std::set<ui::Command> commands;
    for (const ui::ControlSpec& spec : ui::MainWindowControls()) {
        SCOPED_TRACE(std::string(spec.name));
        EXPECT_EQ(spec.command != ui::Command::None, spec.kind == ui::ControlKind::CommandButton)
            << "buttons, and only they, have a command";
        EXPECT_TRUE(spec.command == ui::Command::None || commands.insert(spec.command).second)
            << "each command once";
        if (spec.kind == ui::ControlKind::CommandButton) {
            const FakeDesktop before = desktop;
            const std::string logBefore = view.logBox;
            tool.Click(spec);
            const bool acted =
                desktop.offeredFilters.size() != before.offeredFilters.size() ||
                desktop.folderPickerTitles.size() != before.folderPickerTitles.size() ||
                desktop.openedAddresses.size() != before.openedAddresses.size() ||
                desktop.endRequests != before.endRequests || view.logBox != logBefore;
            EXPECT_TRUE(acted);
        }
    }
}

TEST_F(PresenterTest, StartButtonRunsTheUpgradeAndTheLogShowsEveryEntry) {
    view.templateBox = " 模板.html ";
    run.Upgrades({"b.HTML", "甲.html"});
    tool.Click(ui::Control("BT_GO"));
    EXPECT_THAT(run.starts, ElementsAre(std::pair<std::string, std::string>(" 模板.html ", "old")))
        << "the boxes' texts as they stand";
    const std::string expected =
        std::string(kReady) + ExpectedLog({"b.HTML", "甲.html"}, run.outputFolder);
    EXPECT_EQ(view.logBox, expected);
    EXPECT_EQ(view.logBox, expected);
    EXPECT_EQ(view.paintedInPause, 2) << "each document entry is brought into view";
    EXPECT_EQ(view.paintedNow, 1) << "and the result entry";
    EXPECT_THAT(desktop.messages, IsEmpty());
}

TEST_F(PresenterTest, InputProblemIsShownAndNothingIsLogged) {
    run.refusal = InputProblem::TemplateNotGiven;
    tool.BT_GO_Click();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_THAT(desktop.messages[0], HasSubstr("【模板文件未指定】"));
    EXPECT_EQ(view.logBox, kReady);
    EXPECT_THAT(view.progress, IsEmpty()) << "nothing was begun";
}

TEST_F(PresenterTest, ExitDuringARunStopsBeforeTheNextDocument) {
    run.Upgrades({"a.html", "b.html", "c.html"});
    view.duringPause = [this] { tool.Click(ui::Control("BT_END")); };
    tool.BT_GO_Click();
    EXPECT_TRUE(view.hidden);
    EXPECT_EQ(desktop.endRequests, 1);
    EXPECT_THAT(view.logBox, HasSubstr(" 1: a.html: 升级成功"));
    EXPECT_THAT(view.logBox, Not(HasSubstr("处理结束")));
    EXPECT_THAT(run.begun, ElementsAre("a.html"));
}

TEST_F(PresenterTest, ExitOutsideARunEndsTheProgramAtOnce) {
    tool.BT_END_Click();
    EXPECT_TRUE(view.hidden);
    EXPECT_EQ(desktop.endRequests, 1);
}

TEST_F(PresenterTest, ClosingTheWindowDuringARunHidesItAndStopsTheRun) {
    run.Upgrades({"a.html", "b.html"});
    bool closedAtOnce = true;
    view.duringPause = [&] { closedAtOnce = tool.Form_Unload(); };
    tool.BT_GO_Click();
    EXPECT_FALSE(closedAtOnce) << "the window waits for the run";
    EXPECT_TRUE(view.hidden);
    EXPECT_EQ(desktop.endRequests, 1) << "the program ends when the run has stopped";
    EXPECT_THAT(run.begun, ElementsAre("a.html"));
    EXPECT_THAT(view.logBox, Not(HasSubstr("处理结束")));
    EXPECT_TRUE(tool.Form_Unload()) << "outside a run the window goes at once";
}

TEST_F(PresenterTest, SecondStartDuringARunIsRefused) {
    run.Upgrades({"a.html", "b.html"});
    view.duringPause = [this] { tool.Click(ui::Control("BT_GO")); };
    tool.BT_GO_Click();
    EXPECT_EQ(run.starts.size(), 1u);
    tool.BT_GO_Click();
    EXPECT_EQ(run.starts.size(), 2u) << "once the run is over, the button starts the next";
}

TEST_F(PresenterTest, FileFailureIsShownAndTheWindowStaysUsable) {
    run.documents = {{"a.html", ScriptedRun::Fate::CannotBeWritten}};
    tool.BT_GO_Click();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0],
              "【写入失败】：无法写入文件 " + Join(output, "a.html") +
                  "\r\n系统原因：Permission denied\r\n升级已中止；此前写入的文件完整保留。");
    EXPECT_FALSE(view.hidden);
    EXPECT_EQ(desktop.endRequests, 0);

    run.Upgrades({"a.html"});
    tool.BT_GO_Click();
    EXPECT_THAT(view.logBox, HasSubstr("【处理结束：成功升级 1 个】"));
}

TEST_F(PresenterTest, DroppedFileIsTheTemplateAndDroppedFolderTheOldFolder) {
    const std::string otherTemplate = Join(oldFolder, "新模板.html");
    tool.Form_DragDrop(otherTemplate, false);
    EXPECT_EQ(view.templateBox, otherTemplate);
    EXPECT_EQ(view.folderBox, oldFolder);
    tool.Form_DragDrop("app", true);
    EXPECT_EQ(view.folderBox, "app");
    EXPECT_EQ(view.templateBox, otherTemplate);
    tool.Form_DragDrop("", false);
    EXPECT_EQ(view.templateBox, otherTemplate) << "an empty drop changes nothing";
}

// The taskbar button's and the dock's progress, as the presenter hands it to every front end.
class RunProgressTest : public PresenterTest {
  protected:
    using State = ui::RunProgress::State;

    void WriteDocuments(int count) {
        run.documents.clear();
        for (int i = 0; i < count; ++i) {
            run.documents.push_back({"d" + std::to_string(i) + ".html"});
        }
    }
    // The fractions shown while running, in order.
    std::vector<double> RunningFractions() const {
        std::vector<double> fractions;
        for (const ui::RunProgress& shown : view.progress) {
            if (shown.state == State::Running) {
                fractions.push_back(shown.fraction);
            }
        }
        return fractions;
    }
};

TEST_F(RunProgressTest, CompletedRunGoesFromNoneToWholeThenEndsQuietly) {
    desktop.tick = ui::WindowRuns::kProgressInterval;  // each document's progress is shown
    WriteDocuments(4);
    tool.BT_GO_Click();
    EXPECT_THAT(RunningFractions(), ElementsAre(0.0, 0.25, 0.5, 0.75, 1.0));
    EXPECT_EQ(view.progress.back(), (ui::RunProgress{State::Ended, 1.0, false}));
}

TEST_F(RunProgressTest, ProgressIsShownAFewTimesASecondAtMost) {
    WriteDocuments(20);  // the clock stands still: only the start and the end are shown
    tool.BT_GO_Click();
    EXPECT_THAT(RunningFractions(), ElementsAre(0.0, 1.0));
}

TEST_F(RunProgressTest, DocumentsPassedOverCountTowardsTheWhole) {
    desktop.tick = ui::WindowRuns::kProgressInterval;
    run.documents = {{"a.html", ScriptedRun::Fate::PassedOver}, {"b.html"}};
    tool.BT_GO_Click();
    EXPECT_THAT(RunningFractions(), ElementsAre(0.0, 0.5, 1.0));
    EXPECT_EQ(view.progress.back().state, State::Ended);
}

TEST_F(RunProgressTest, FailureShowsWhereTheRunStopped) {
    desktop.tick = ui::WindowRuns::kProgressInterval;
    WriteDocuments(4);
    run.documents[2].fate = ScriptedRun::Fate::CannotBeWritten;
    tool.BT_GO_Click();
    EXPECT_EQ(view.progress.back(), (ui::RunProgress{State::Failed, 0.5, false}));
}

TEST_F(RunProgressTest, ExitButtonDuringARunEndsTheProgress) {
    WriteDocuments(3);
    view.duringPause = [this] { tool.BT_END_Click(); };
    tool.BT_GO_Click();
    EXPECT_EQ(view.progress.back().state, State::Ended);
    EXPECT_FALSE(view.progress.back().wantsAttention);
}

TEST_F(RunProgressTest, OnlyARunThatTookAWhileAsksForAttention) {
    WriteDocuments(1);
    tool.BT_GO_Click();
    EXPECT_FALSE(view.progress.back().wantsAttention);
    desktop.tick = ui::WindowRuns::kLongRun;
    tool.BT_GO_Click();
    EXPECT_TRUE(view.progress.back().wantsAttention);
}

}  // namespace
}  // namespace orba
