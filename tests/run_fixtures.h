#pragma once

// Fixtures shared by the tests of whole runs: through the engine, and through the orba-upgrade
// program (whose path the build passes as ORBA_UPGRADE_PATH).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "engine/upgrade_run.h"
#include "storage/temporary_names.h"
#include "tests/test_support.h"

namespace orba::test {

inline const std::string kTemplateText =
    Document("<html><script>新版查看器</script>", "{\"t\":\"模板\"}", "<footer>v2</footer></html>");

inline std::string Upgraded(std::string_view oldBlock) {
    return Document("<html><script>新版查看器</script>", oldBlock, "<footer>v2</footer></html>");
}

// A template beside an old-version folder "old".
class UpgradeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(templatePath, kTemplateText);
        MakeFolder(oldFolder);
    }

    RunResult Run() { return RunUpgrade(templatePath, oldFolder, host); }
    RunResult Run(std::string_view templateBox, std::string_view folderBox) {
        return RunUpgrade(templateBox, folderBox, host);
    }

    void ExpectRefused(const RunResult& result, InputProblem problem) {
        EXPECT_EQ(result.outcome, RunOutcome::Refused);
        EXPECT_EQ(result.problem, problem);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0], InputProblemMessage(problem));
        EXPECT_THAT(host.log, ::testing::IsEmpty());
        EXPECT_FALSE(Exists(output)) << "a refused run creates nothing";
    }

    TempDir dir;
    std::string templatePath = dir / "tpl.html";
    std::string oldFolder = dir / "old";
    std::string output = Join(oldFolder, "NewORBA");
    RecordingHost host;
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
