#include "engine/listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/paths.h"
#include "storage/file_error.h"
#include "tests/test_support.h"

namespace orba {
namespace {

using test::MakeFolder;
using test::TempDir;
using test::WriteBytes;
using test::WriteHiddenFile;
using ::testing::ElementsAre;

TEST(ListFilesTest, ListsOrdinaryHtmlFilesSortedByBytes) {
    TempDir dir;
    for (const char* name : {"b.html", "A.HTML", "c.Html", "脑图.html", "d.htm", "e.txt"}) {
        WriteBytes(dir / name, "x");
    }
    EXPECT_THAT(ListFiles(dir.path(), "*.html"),
                ElementsAre("A.HTML", "b.html", "c.Html", "脑图.html"));
}

TEST(ListFilesTest, UnreadableFolderIsAFailure) {
    TempDir dir;
    EXPECT_THROW(ListFiles(dir / "missing", "*.html"), FileError);
}

TEST(FolderHasFilesTest, AnyOrdinaryFileCounts) {
    TempDir dir;
    EXPECT_FALSE(FolderHasFiles(dir.path()));
    MakeFolder(dir / "sub");
    WriteBytes(dir / "sub/inner.html", "x");
    EXPECT_FALSE(FolderHasFiles(dir.path())) << "files in subfolders do not count";
    WriteHiddenFile(dir / ".hidden", "x");
    EXPECT_FALSE(FolderHasFiles(dir.path()));
    WriteBytes(dir / "notes.txt", "x");
    EXPECT_TRUE(FolderHasFiles(dir.path()));
    EXPECT_TRUE(FolderHasFiles(WithTrailingSeparator(dir.path())));
    EXPECT_FALSE(FolderHasFiles(dir / "missing"));
}

}  // namespace
}  // namespace orba
