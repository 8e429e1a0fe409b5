#include "storage/utf8_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include "storage/file_error.h"
#include "tests/test_support.h"

namespace orba {
namespace {

using test::AllNames;
using test::MakeFolder;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(Utf8FileTest, RoundTripsTextByteForByte) {
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
        SaveAsUTF8(text, dir / "doc.html");
        EXPECT_EQ(LoadAsUTF8(dir / "doc.html"), text);
        EXPECT_EQ(ReadBytes(dir / "doc.html"), text) << "written bytes are the text's bytes";
    }
}

TEST(Utf8FileTest, SavingReplacesALongerFileEntirely) {
    TempDir dir;
    SaveAsUTF8(std::string(10000, 'x'), dir / "doc.html");
    SaveAsUTF8("short", dir / "doc.html");
    EXPECT_EQ(ReadBytes(dir / "doc.html"), "short");
    EXPECT_THAT(AllNames(dir.path()), ElementsAre("doc.html")) << "no temporary file is left";
}

TEST(Utf8FileTest, PiecesAreWrittenInOrder) {
    TempDir dir;
    const std::array<std::string_view, 4> pieces = {"<a>", "", "中间", "</a>"};
    SaveAsUTF8(pieces, dir / "doc.html");
    EXPECT_EQ(ReadBytes(dir / "doc.html"), "<a>中间</a>");
}

TEST(Utf8FileTest, SavingIntoAMissingFolderFails) {
    TempDir dir;
    EXPECT_THROW(SaveAsUTF8("x", dir / "missing/doc.html"), FileError);
}

TEST(Utf8FileTest, LoadingAMissingFileFailsWithTheSystemsReason) {
    TempDir dir;
    try {
        LoadAsUTF8(dir / "missing.html");
        FAIL() << "loading a missing file must fail";
    } catch (const FileError& error) {
        EXPECT_EQ(error.operation(), FileError::Operation::Read);
        EXPECT_EQ(error.path(), dir / "missing.html");
        EXPECT_FALSE(error.systemReason().empty());
    }
}

TEST(Utf8FileTest, ReloadingIntoTheSameBufferShowsEachWholeFile) {
    TempDir dir;
    const std::string text = "\xEF\xBB\xBF读取\r\n" + std::string(70000, 'm') + "\xFF";
    WriteBytes(dir / "doc.html", text);
    WriteBytes(dir / "empty.html", "");
    WriteBytes(dir / "short.html", "短");
    const Files files;
    LoadedFile loaded;
    files.Load(dir / "doc.html", loaded);
    EXPECT_EQ(loaded.bytes(), text);
    files.Load(dir / "empty.html", loaded);
    EXPECT_EQ(loaded.bytes(), "");
    files.Load(dir / "short.html", loaded);
    EXPECT_EQ(loaded.bytes(), "短");
    files.Load(dir / "doc.html", loaded);
    EXPECT_EQ(loaded.bytes(), text);
}

}  // namespace
}  // namespace orba
