#include "engine/upgrade_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/document_upgrade.h"
#include "engine/markers.h"
#include "storage/files.h"
#include "storage/paths.h"
#include "tests/support/run_fixtures.h"
#include "tests/support/test_support.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

TEST_F(UpgradeRunTest, UpgradesEveryHtmlDocumentWithADataBlock) {
    WriteBytes(Join(oldFolder, "b.html"), Document("<old viewer>", "{\"b\":\"乙\"}", "</old>"));
    WriteBytes(Join(oldFolder, "A.HTML"), Document("", "{\"a\":\"甲\"}", ""));
    WriteBytes(Join(oldFolder, "c.htm"), Document("", "{\"c\":1}", ""));
    WriteBytes(Join(oldFolder, "empty-block.html"), Document("", "", ""));
    WriteBytes(Join(oldFolder, "plain.html"), "<html>no map here</html>");
    WriteBytes(Join(oldFolder, "z.html"), Document("", "{\"z\":26}", ""));

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(result.upgraded, 3u);
    EXPECT_THAT(observer.messages, IsEmpty());
    EXPECT_EQ(observer.log, ExpectedFacts({"A.HTML", "b.html", "z.html"}, output));
    EXPECT_THAT(AllNames(output), ElementsAre("A.HTML", "b.html", "z.html"));
    EXPECT_EQ(ReadBytes(Join(output, "A.HTML")), Upgraded("{\"a\":\"甲\"}"));
    EXPECT_EQ(ReadBytes(Join(output, "b.html")), Upgraded("{\"b\":\"乙\"}"));
    EXPECT_EQ(ReadBytes(Join(oldFolder, "b.html")),
              Document("<old viewer>", "{\"b\":\"乙\"}", "</old>"))
        << "old documents are never changed";
}

TEST_F(UpgradeRunTest, DocumentWhoseBlockNeverEndsIsPassedOverLeavingNothing) {
    // Its output is begun as the block's bytes arrive, over several buffers, and dropped.
    WriteBytes(Join(oldFolder, "a.html"),
               std::string(kStartMarker) + std::string(3 * kReadBufferSize, 'x'));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(observer.log, ExpectedFacts({"b.html"}, output));
    EXPECT_THAT(AllNames(output), ElementsAre("b.html"));
}

TEST_F(UpgradeRunTest, PathsAreTrimmedAndATrailingSeparatorIsCut) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const std::string templateBox = std::string("  ").append(templatePath).append("\xE3\x80\x80 ");
    const std::string folderBox = std::string(" ").append(Join(oldFolder, " "));
    const RunResult result = Run(templateBox, folderBox);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(observer.log, ExpectedFacts({"a.html"}, output));
}

TEST_F(UpgradeRunTest, FolderWithFilesButNoDocumentsStillCompletes) {
    WriteBytes(Join(oldFolder, "notes.txt"), "x");
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(result.upgraded, 0u);
    EXPECT_EQ(observer.log, ExpectedFacts({}, output));
    EXPECT_TRUE(Files().IsFolder(output));
}

TEST_F(UpgradeRunTest, RefusesAMissingTemplate) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    ExpectRefused(Run("   ", oldFolder), InputProblem::TemplateNotGiven);
    observer = {};
    ExpectRefused(Run(dir / "missing.html", oldFolder), InputProblem::TemplateNotFound);
    observer = {};
    ExpectRefused(Run(oldFolder, oldFolder), InputProblem::TemplateNotFound);
    observer = {};
    WriteHiddenFile(dir / ".hidden.html", kTemplateText);
    ExpectRefused(Run(dir / ".hidden.html", oldFolder), InputProblem::TemplateNotFound);
}

TEST_F(UpgradeRunTest, RefusesATemplateWithoutAUsableBlock) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const std::string start(kStartMarker);
    const std::string end(kEndMarker);
    for (const std::string& text :
         {std::string("<html/>"), "x" + start + "no end", end + "x" + start,
          Document("", "     ", ""), Document("", "", "")}) {
        observer = {};
        WriteBytes(templatePath, text);
        ExpectRefused(Run(), InputProblem::TemplateBlockBlank);
    }
}

TEST_F(UpgradeRunTest, RefusesAMissingOrEmptyFolder) {
    ExpectRefused(Run(templatePath, "  "), InputProblem::FolderNotGiven);
    observer = {};
    const std::string oneSeparator = std::string(" ").append(1, kNativePathStyle.separator) + " ";
    ExpectRefused(Run(templatePath, oneSeparator), InputProblem::FolderNotGiven);
    observer = {};
    ExpectRefused(Run(), InputProblem::FolderHasNoFiles);
    observer = {};
    MakeFolder(Join(oldFolder, "sub"));
    WriteBytes(Join(oldFolder, "sub/a.html"), Document("", "A", ""));
    ExpectRefused(Run(), InputProblem::FolderHasNoFiles);
    observer = {};
    ExpectRefused(Run(templatePath, dir / "missing"), InputProblem::FolderHasNoFiles);
}

TEST_F(UpgradeRunTest, TemplateInTheFolderIsPassedOver) {
    const std::string inside = Join(oldFolder, "tpl.html");
    WriteBytes(inside, kTemplateText);
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    EXPECT_EQ(Run(inside, oldFolder).upgraded, 1u);
    EXPECT_EQ(observer.log, ExpectedFacts({"a.html"}, output));
}

TEST_F(UpgradeRunTest, TemplateNamedThroughAnotherPathFormIsAnOrdinaryDocument) {
    WriteBytes(Join(oldFolder, "tpl.html"), kTemplateText);
    EXPECT_EQ(Run(Join(oldFolder, "./tpl.html"), oldFolder).upgraded, 1u);
    EXPECT_EQ(ReadBytes(Join(output, "tpl.html")), kTemplateText);
}

TEST_F(UpgradeRunTest, SecondRunReplacesOutputsAndAppendsToTheLog) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    Run();
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A2", ""));
    Run();
    EXPECT_EQ(observer.log, ExpectedFacts({"a.html"}, output) + ExpectedFacts({"a.html"}, output));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A2"));
}

TEST_F(UpgradeRunTest, AllOutputsComeFromTheTemplateAsReadAtTheStart) {
    MakeFolder(output);
    const std::string templateInOutput = Join(output, "a.html");
    WriteBytes(templateInOutput, kTemplateText);
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    EXPECT_EQ(Run(templateInOutput, oldFolder).upgraded, 2u);
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A"));
    EXPECT_EQ(ReadBytes(Join(output, "b.html")), Upgraded("B"));
}

TEST_F(UpgradeRunTest, EndingTheProgramStopsBetweenTwoDocuments) {
    for (const char* name : {"a.html", "b.html", "c.html"}) {
        WriteBytes(Join(oldFolder, name), Document("", name, ""));
    }
    observer.onDocument = [] { return false; };
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(result.upgraded, 1u);
    EXPECT_THAT(observer.log, Not(HasSubstr("completed")));
    EXPECT_THAT(AllNames(output), ElementsAre("a.html"));
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("a.html"));
}

TEST_F(UpgradeRunTest, OutputNameTakenByAFolderStopsTheRunThere) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    WriteBytes(Join(oldFolder, "c.html"), Document("", "C", ""));
    MakeFolder(output);
    MakeFolder(Join(output, "b.html"));

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    EXPECT_EQ(result.upgraded, 1u);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr(Join(output, "b.html")));
    EXPECT_THAT(observer.log, HasSubstr("upgraded 1 a.html\n"));
    EXPECT_THAT(observer.log, Not(HasSubstr("completed")));
    EXPECT_THAT(AllNames(output), ElementsAre("a.html", "b.html")) << "no temporary file left";
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A"));
}

TEST_F(UpgradeRunTest, OutputFolderNameTakenByAFileFails) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(output, "I am a file");
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr("create folder "));
    EXPECT_THAT(observer.messages[0], HasSubstr(output));
    EXPECT_THAT(observer.log, IsEmpty());
    EXPECT_EQ(ReadBytes(output), "I am a file");
}

TEST_F(UpgradeRunTest, DocumentVanishingDuringTheRunIsReportedByName) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(oldFolder, "b.html"), Document("", "B", ""));
    observer.onDocument = [this] {
        Remove(Join(oldFolder, "b.html"));
        return true;
    };
    const RunResult result = Run();
    EXPECT_EQ(result.outcome, RunOutcome::Failed);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_THAT(observer.messages[0], HasSubstr("read "));
    EXPECT_THAT(observer.messages[0], HasSubstr(Join(oldFolder, "b.html")));
}

TEST_F(UpgradeRunTest, BlockOfManyBuffersGoesIntoEveryPlaceOfTheTemplatesBlock) {
    // The template's block text stands in a script as well; the old block is read in many rounds.
    const std::string templateText =
        "<script>var b='模板块';</script>" + Document("<v2>", "模板块", "</v2>") + "<i>模板块</i>";
    WriteBytes(templatePath, templateText);
    std::string block;
    for (int i = 0; block.size() < 5 * kReadBufferSize / 2; ++i) {
        block += "{\"节点\":" + std::to_string(i) + "},";
    }
    WriteBytes(Join(oldFolder, "big.html"), Document("<v1>", block, "</v1>"));
    EXPECT_EQ(Run().outcome, RunOutcome::Completed);
    EXPECT_EQ(ReadBytes(Join(output, "big.html")), "<script>var b='" + block + "';</script>" +
                                                       Document("<v2>", block, "</v2>") + "<i>" +
                                                       block + "</i>");
}

// Paths pasted as Windows' "Copy as path" gives them, in double quotes, in either box.
TEST_F(UpgradeRunTest, PathsInDoubleQuotesThatNameNothingAreTakenWithoutThem) {
    WriteBytes(Join(oldFolder, "a.html"), Document("", "A", ""));
    const RunResult result = Run("\"" + templatePath + "\"", " \"" + oldFolder + "\" ");
    EXPECT_EQ(result.outcome, RunOutcome::Completed) << ::testing::PrintToString(observer.messages);
    EXPECT_EQ(ReadBytes(Join(output, "a.html")), Upgraded("A"));
    EXPECT_THAT(observer.log, ::testing::HasSubstr("completed 1 " + output + "\n"));
}

// Every entry of the folder is accounted for, in the order of its names, the run's own NewORBA
// aside: the run and the dry run tell the same facts, and each document, skipped or not, is told
// handled.
TEST_F(UpgradeRunTest, EveryEntryOfTheFolderIsToldWithItsReason) {
    WriteEntriesOfEveryKind(oldFolder);
    using P = PassedOverReason;
    using N = NotLookedAtReason;
    const std::vector<std::pair<std::string, P>> passedOver = {
        {"b.html", P::NoDataBlock}, {"c.html", P::BlockCutOff}, {"d.html", P::EmptyBlock}};
    const std::vector<std::pair<std::string, N>> notLookedAt = {
        {".f.html", N::Hidden}, {"e.htm", N::OtherName}, {"g", N::Folder}};
    for (const bool dryRun : {true, false}) {
        RecordingObserver recorded;
        const RunResult result = dryRun ? CheckUpgrade(templatePath, oldFolder, recorded, Files())
                                        : RunUpgrade(templatePath, oldFolder, recorded, Files());
        EXPECT_EQ(result.upgraded, 1u);
        EXPECT_EQ(recorded.passedOver, passedOver) << "dry run: " << dryRun;
        EXPECT_EQ(recorded.notLookedAt, notLookedAt) << "dry run: " << dryRun;
        EXPECT_THAT(recorded.started, ElementsAre(4u));
        EXPECT_THAT(recorded.handled, ElementsAre(1u, 2u, 3u, 4u));
    }
}

// A document too large to be compared in memory is streamed: the dry run finds its block as the
// run does, and both tell the same change at its output's name.
TEST_F(UpgradeRunTest, DocumentTooLargeToCompareIsToldAlikeByTheRunAndTheDryRun) {
    const std::string block(std::size_t{17} << 20, 'b');
    WriteBytes(Join(oldFolder, "big.html"), Document("", block, ""));
    WriteBytes(Join(oldFolder, "cut.html"), std::string(kStartMarker) + block);
    RunOptions comparing;
    comparing.compare = true;
    for (const OutputChange expected : {OutputChange::New, OutputChange::Replaced}) {
        for (const bool dryRun : {true, false}) {
            RecordingObserver recorded;
            const RunResult result =
                dryRun ? CheckUpgrade(templatePath, oldFolder, recorded, Files())
                       : RunUpgrade(templatePath, oldFolder, recorded, Files(), comparing);
            EXPECT_EQ(result.outcome, RunOutcome::Completed) << "dry run: " << dryRun;
            EXPECT_THAT(recorded.changes, ElementsAre(std::pair("big.html", expected)));
            EXPECT_THAT(recorded.passedOver,
                        ElementsAre(std::pair("cut.html", PassedOverReason::BlockCutOff)));
        }
        EXPECT_EQ(ReadBytes(Join(output, "big.html")), Upgraded(block));
    }
}

}  // namespace
}  // namespace orba
