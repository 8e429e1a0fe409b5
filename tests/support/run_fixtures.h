#pragma once

// Fixtures shared by the tests of whole runs: through the engine, and through the orba-upgrade
// program (whose path the build passes as ORBA_UPGRADE_PATH).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "engine/markers.h"
#include "engine/upgrade_run.h"
#include "storage/temporary_names.h"
#include "tests/support/process_runner.h"
#include "tests/support/test_support.h"

namespace orba::test {

inline const std::string kTemplateText =
    Document("<html><script>新版查看器</script>", "{\"t\":\"模板\"}", "<footer>v2</footer></html>");

inline std::string Upgraded(std::string_view oldBlock) {
    return Document("<html><script>新版查看器</script>", oldBlock, "<footer>v2</footer></html>");
}

// In `folder`, one entry of every kind a run tells apart: a.html, a map; b.html without a data
// block; c.html whose block has no end marker; d.html with an empty block; e.htm, a map of
// another name; .f.html, a hidden map; g, a folder.
inline void WriteEntriesOfEveryKind(const std::string& folder) {
    WriteBytes(Join(folder, "a.html"), Document("", "A", ""));
    WriteBytes(Join(folder, "b.html"), "no block");
    WriteBytes(Join(folder, "c.html"), std::string(kStartMarker) + "cut off");
    WriteBytes(Join(folder, "d.html"), Document("", "", ""));
    WriteBytes(Join(folder, "e.htm"), Document("", "E", ""));
    WriteHiddenFile(Join(folder, ".f.html"), Document("", "F", ""));
    MakeFolder(Join(folder, "g"));
}

// A template beside an old-version folder "old".
class UpgradeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(templatePath, kTemplateText);
        MakeFolder(oldFolder);
    }

    RunResult Run() { return Run(templatePath, oldFolder); }
    RunResult Run(std::string_view templateBox, std::string_view folderBox) {
        return RunUpgrade(templateBox, folderBox, observer, observer.With(Files()));
    }

    void ExpectRefused(const RunResult& result, InputProblem problem) {
        EXPECT_EQ(result.outcome, RunOutcome::Refused);
        EXPECT_THAT(observer.refused, ::testing::ElementsAre(problem));
        ASSERT_EQ(observer.messages.size(), 1u);
        EXPECT_THAT(observer.log, ::testing::IsEmpty());
        EXPECT_FALSE(Exists(output)) << "a refused run creates nothing";
    }

    TempDir dir;
    std::string templatePath = dir / "tpl.html";
    std::string oldFolder = dir / "old";
    std::string output = Join(oldFolder, "NewORBA");
    RecordingObserver observer;
};

// Documents a.html, b.html and c.html in the folder, and an earlier run's outputs of them, each
// "earlier".
class EarlierOutputsTest : public UpgradeRunTest {
  protected:
    void SetUp() override {
        UpgradeRunTest::SetUp();
        MakeFolder(output);
        for (const char* name : {"a.html", "b.html", "c.html"}) {
            WriteBytes(Join(oldFolder, name), Document("", name, ""));
            WriteBytes(Join(output, name), "earlier");
        }
    }

    void ExpectNoTemporaryFile() {
        for (const std::string& name : AllNames(output)) {
            EXPECT_FALSE(IsTemporaryName(name)) << name;
        }
    }
};

#ifdef ORBA_UPGRADE_PATH
// The orba-upgrade program of this build.
inline const std::string kProgram = ORBA_UPGRADE_PATH;

// How the command line ends the lines it writes itself.
#ifdef _WIN32
inline constexpr std::string_view kLineEnd = "\r\n";
#else
inline constexpr std::string_view kLineEnd = "\n";
#endif
// `lines`, each ended as the command line ends it.
inline std::string Lines(std::string_view lines) {
    std::string ended;
    for (const char c : lines) {
        ended += c == '\n' ? std::string(kLineEnd) : std::string(1, c);
    }
    return ended;
}

// The language the program speaks: the locale's on POSIX, which the test sets; on Windows the
// user's interface language decides, which the test shares with it: there `Says` takes either.
inline const ProcessOptions kEnglish{.environment = {"LC_ALL=C.UTF-8"}};
inline const ProcessOptions kChinese{.environment = {"LC_ALL=zh_CN.UTF-8"}};
inline ::testing::Matcher<const std::string&> Says(std::string_view english,
                                                   std::string_view chinese) {
#ifdef _WIN32
    return ::testing::AnyOf(::testing::HasSubstr(std::string(english)),
                            ::testing::HasSubstr(std::string(chinese)));
#else
    (void)chinese;
    return ::testing::HasSubstr(std::string(english));
#endif
}

class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(templatePath, Document("<new>", "TEMPLATE", "</new>"));
        MakeFolder(oldFolder);
    }

    TempDir dir;
    std::string templatePath = dir / "orba.html";
    std::string oldFolder = dir / "旧版";
    std::string output = Join(oldFolder, "NewORBA");
};
#endif

}  // namespace orba::test
