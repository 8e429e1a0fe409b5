#include "storage/file_copy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include "storage/file_error.h"
#include "storage/prepared_output.h"
#include "tests/support/test_support.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(FileCopyTest, CopiesEveryByte) {
    TempDir dir;
    const std::string samples[] = {
        "",
        "line one\r\nline two\r\n",
        "lone\nfeeds\n\r\nmixed\r",
        "\xEF\xBB\xBF<html>带字节顺序标记</html>",
        "invalid \xFF\xFE \xC3( \xE3\x80 tail\x80",
        std::string("nul\0inside", 10),
    };
    for (const std::string& text : samples) {
        WriteBytes(dir / "from.html", text);
        CopyFile(Files(), dir / "from.html", dir / "doc.html");
        EXPECT_EQ(ReadBytes(dir / "doc.html"), text) << "written bytes are the text's bytes";
    }
}

TEST(FileCopyTest, CopyReplacesALongerFileEntirely) {
    TempDir dir;
    MakeFolder(dir / "to");
    WriteBytes(dir / "long.html", std::string(10000, 'x'));
    WriteBytes(dir / "short.html", "short");
    CopyFile(Files(), dir / "long.html", dir / "to/doc.html");
    CopyFile(Files(), dir / "short.html", dir / "to/doc.html");
    EXPECT_EQ(ReadBytes(dir / "to/doc.html"), "short");
    EXPECT_THAT(AllNames(dir / "to"), ElementsAre("doc.html")) << "no temporary file is left";
}

TEST(FileCopyTest, OutputPiecesAreWrittenInOrder) {
    TempDir dir;
    const std::array<std::string_view, 4> pieces = {"<a>", "", "中间", "</a>"};
    PreparedOutput output(Files(), dir / "doc.html");
    for (const std::string_view piece : pieces) {
        output.Write(piece);
    }
    output.Commit();
    EXPECT_EQ(ReadBytes(dir / "doc.html"), "<a>中间</a>");
}

TEST(FileCopyTest, CopyIntoAMissingFolderFails) {
    TempDir dir;
    WriteBytes(dir / "from.html", "x");
    EXPECT_THROW(CopyFile(Files(), dir / "from.html", dir / "missing/doc.html"), FileError);
}

TEST(FileCopyTest, CopyOfAMissingFileFailsWithTheSystemsReason) {
    TempDir dir;
    try {
        CopyFile(Files(), dir / "missing.html", dir / "doc.html");
        FAIL() << "copying a missing file must fail";
    } catch (const FileError& error) {
        EXPECT_EQ(error.operation(), FileError::Operation::Read);
        EXPECT_EQ(error.path(), dir / "missing.html");
        EXPECT_FALSE(error.systemReason().empty());
    }
}

TEST(FileCopyTest, ReloadingIntoTheSameBufferShowsEachWholeFile) {
    TempDir dir;
    const std::string text = "\xEF\xBB\xBF读取\r\n" + std::string(70000, 'm') + "\xFF";
    WriteBytes(dir / "doc.html", text);
    WriteBytes(dir / "empty.html", "");
    WriteBytes(dir / "short.html", "短");
    const Files files;
    LoadedFile loaded;
    files.Read(dir / "doc.html", loaded);
    EXPECT_EQ(loaded.bytes(), text);
    files.Read(dir / "empty.html", loaded);
    EXPECT_EQ(loaded.bytes(), "");
    files.Read(dir / "short.html", loaded);
    EXPECT_EQ(loaded.bytes(), "短");
    files.Read(dir / "doc.html", loaded);
    EXPECT_EQ(loaded.bytes(), text);
}

}  // namespace
}  // namespace orba
