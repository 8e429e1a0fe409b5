// What the window's handlers and start-up decide, told in the Windows form of paths.

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "app/provisioning.h"
#include "app/texts_zh.h"
#include "storage/file_error.h"
#include "ui/path_boxes.h"

namespace orba {
namespace {

using ui::BoxesAfterTemplateChoice;
using ui::BoxesAtLoad;
using ui::FolderBoxAfterFolderChoice;
using ui::PathBoxes;
constexpr PathStyle kWin = kWindowsPathStyle;

auto FilesThatExist(std::set<std::string> files) {
    return [files = std::move(files)](const std::string& path) { return files.contains(path); };
}

TEST(FormLoadTest, DefaultTemplateWhenItExistsAndTheApplicationFolderAsItStands) {
    EXPECT_EQ(BoxesAtLoad("D:\\Tools", FilesThatExist({"D:\\Tools\\orba.html"}), kWin),
              (PathBoxes{"D:\\Tools\\orba.html", "D:\\Tools"}));
    EXPECT_EQ(BoxesAtLoad("D:\\Tools", FilesThatExist({}), kWin), (PathBoxes{"", "D:\\Tools"}));
    EXPECT_EQ(BoxesAtLoad("E:\\", FilesThatExist({"E:\\\\orba.html"}), kWin),
              (PathBoxes{"E:\\\\orba.html", "E:\\"}));
    EXPECT_EQ(BoxesAtLoad("/opt/orba", FilesThatExist({"/opt/orba/orba.html"}), kPosixPathStyle),
              (PathBoxes{"/opt/orba/orba.html", "/opt/orba"}));
}

TEST(TemplatePickerTest, ChosenFileAndItsFolder) {
    EXPECT_EQ(BoxesAfterTemplateChoice({"", "E:\\old"}, "C:\\maps\\spring\\tpl.html", kWin),
              (PathBoxes{"C:\\maps\\spring\\tpl.html", "C:\\maps\\spring"}));
    EXPECT_EQ(BoxesAfterTemplateChoice({"", "E:\\old"}, "C:\\tpl.html", kWin),
              (PathBoxes{"C:\\tpl.html", "C:"}));
}

TEST(TemplatePickerTest, CancelStillDerivesTheFolderFromTheTemplateBox) {
    EXPECT_EQ(BoxesAfterTemplateChoice({"D:\\a\\b.html", "E:\\old"}, "", kWin),
              (PathBoxes{"D:\\a\\b.html", "D:\\a"}));
    EXPECT_EQ(BoxesAfterTemplateChoice({"", "E:\\old"}, "", kWin), (PathBoxes{"", "E:\\old"}));
    EXPECT_EQ(BoxesAfterTemplateChoice({"tpl.html", "E:\\old"}, "", kWin),
              (PathBoxes{"tpl.html", "E:\\old"}));
    EXPECT_EQ(BoxesAfterTemplateChoice({"C:/maps/tpl.html", "E:\\old"}, "", kWin),
              (PathBoxes{"C:/maps/tpl.html", "E:\\old"}));
    EXPECT_EQ(BoxesAfterTemplateChoice({"\\tpl.html", "E:\\old"}, "", kWin),
              (PathBoxes{"\\tpl.html", ""}));
}

TEST(FolderPickerTest, ConfirmedFolderExactlyAsReturnedAndCancelKeepsTheBox) {
    EXPECT_EQ(FolderBoxAfterFolderChoice("E:\\old", "F:\\old maps"), "F:\\old maps");
    EXPECT_EQ(FolderBoxAfterFolderChoice("E:\\old", "F:\\"), "F:\\");
    EXPECT_EQ(FolderBoxAfterFolderChoice("E:\\old", ""), "E:\\old");
}

TEST(DropTest, FileIsTheTemplateAndFolderTheOldFolder) {
    EXPECT_EQ(ui::BoxesAfterDrop({"", "E:\\old"}, "C:\\maps\\新模板.html", false, kWin),
              (PathBoxes{"C:\\maps\\新模板.html", "C:\\maps"}));
    EXPECT_EQ(ui::BoxesAfterDrop({"C:\\t.html", "E:\\old"}, "F:\\旧 脑图", true, kWin),
              (PathBoxes{"C:\\t.html", "F:\\旧 脑图"}));
}

struct FakeFiles {
    explicit FakeFiles(std::set<std::string> files) : existing(std::move(files)) {}

    std::set<std::string> existing;
    std::vector<std::string> tested;
    std::vector<std::pair<std::string, std::string>> copies;

    app::ProvisioningFiles Files() {
        return {[this](const std::string& path) {
                    tested.push_back(path);
                    return existing.contains(path);
                },
                [this](const std::string& from, const std::string& to) {
                    copies.emplace_back(from, to);
                }};
    }
};

TEST(ProvisioningTest, ApplicationCopyPathKeepsADriveRootsSingleSeparator) {
    EXPECT_EQ(app::ApplicationDialogControlPath("D:\\Tools", kWin), "D:\\Tools\\COMDLG32.OCX");
    EXPECT_EQ(app::ApplicationDialogControlPath("D:\\a", kWin), "D:\\a\\COMDLG32.OCX");
    EXPECT_EQ(app::ApplicationDialogControlPath("E:\\", kWin), "E:\\COMDLG32.OCX");
}

TEST(ProvisioningTest, CopiesOnlyWhenTheSystemLacksTheFileAndTheApplicationHasIt) {
    const std::string system(app::kSystemDialogControlPath);
    FakeFiles onlyApplication({"D:\\Tools\\COMDLG32.OCX"});
    EXPECT_EQ(app::ProvisionDialogControl("D:\\Tools", system, onlyApplication.Files(), kWin),
              app::Provisioning::Copied);
    EXPECT_EQ(onlyApplication.tested,
              (std::vector<std::string>{system, "D:\\Tools\\COMDLG32.OCX"}));
    ASSERT_EQ(onlyApplication.copies.size(), 1u);
    EXPECT_EQ(onlyApplication.copies[0].first, "D:\\Tools\\COMDLG32.OCX");
    EXPECT_EQ(onlyApplication.copies[0].second, "C:\\Windows\\SysWOW64\\COMDLG32.OCX");

    for (std::set<std::string> existing :
         {std::set<std::string>{system, "D:\\Tools\\COMDLG32.OCX"}, {system}, {}}) {
        FakeFiles files(existing);
        EXPECT_EQ(app::ProvisionDialogControl("D:\\Tools", system, files.Files(), kWin),
                  app::Provisioning::NothingToDo);
        EXPECT_EQ(files.tested.size(), 2u) << "both copies are always tested";
        EXPECT_TRUE(files.copies.empty());
    }
}

TEST(ProvisioningTest, FailingCopyIsPassedOn) {
    app::ProvisioningFiles files{[](const std::string& path) { return path == "E:\\COMDLG32.OCX"; },
                                 [](const std::string&, const std::string& to) {
                                     throw FileError(FileError::Operation::Write, to, "denied");
                                 }};
    EXPECT_THROW(app::ProvisionDialogControl("E:\\", std::string(app::kSystemDialogControlPath),
                                             files, kWin),
                 FileError);
}

TEST(ProvisioningTest, FailureMessageNamesTheFileThatCouldNotBeWritten) {
    const std::string system(app::kSystemDialogControlPath);
    const std::string written = zh::ProvisioningFailureMessage(
        FileError(FileError::Operation::Write, system, "拒绝访问。"), system);
    EXPECT_EQ(written,
              "【复制失败】：无法把通用对话框控件复制到 " + system + "\r\n系统原因：拒绝访问。");
    // The application's copy could not be read: still the system's copy is the one not written.
    const std::string read = zh::ProvisioningFailureMessage(
        FileError(FileError::Operation::Read, "D:\\Tools\\COMDLG32.OCX", "文件被锁定。"), system);
    EXPECT_EQ(read, "【复制失败】：无法把通用对话框控件复制到 " + system +
                        "\r\n系统原因：无法读取文件 D:\\Tools\\COMDLG32.OCX：文件被锁定。");
}

TEST(ProvisioningTest, NothingHappensWithoutTheSystemLocation) {
    EXPECT_EQ(app::SystemDialogControlPath(kPosixPathStyle), std::nullopt);
    EXPECT_EQ(app::SystemDialogControlPath(kWin), "C:\\Windows\\SysWOW64\\COMDLG32.OCX");
    FakeFiles files({"/opt/orba/COMDLG32.OCX"});
    EXPECT_EQ(
        app::ProvisionDialogControl("/opt/orba", std::nullopt, files.Files(), kPosixPathStyle),
        app::Provisioning::NothingToDo);
    EXPECT_TRUE(files.tested.empty());
}

}  // namespace
}  // namespace orba
