#include "engine/listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "storage/file_error.h"
#include "storage/paths.h"
#include "tests/support/test_support.h"

namespace orba {
namespace {

using namespace test;  // NOLINT: the fixtures and helpers
using ::testing::ElementsAre;

TEST(DocumentNamesTest, ListsOrdinaryHtmlFilesSortedByBytes) {
    TempDir dir;
    for (const char* name : {"b.html", "A.HTML", "c.Html", "脑图.html", "d.htm", "e.txt"}) {
        WriteBytes(dir / name, "x");
    }
    EXPECT_THAT(test::DocumentNames(dir.path()),
                ElementsAre("A.HTML", "b.html", "c.Html", "脑图.html"));
}

TEST(DocumentNamesTest, UnreadableFolderIsAFailure) {
    TempDir dir;
    EXPECT_THROW(test::DocumentNames(dir / "missing"), FileError);
}

TEST(LookAtFolderTest, AnyOrdinaryFileCounts) {
    TempDir dir;
    EXPECT_NE(LookAtFolder(dir.path(), Files()), FoundAtPath::Folder);
    MakeFolder(dir / "sub");
    WriteBytes(dir / "sub/inner.html", "x");
    EXPECT_NE(LookAtFolder(dir.path(), Files()), FoundAtPath::Folder)
        << "files in subfolders do not count";
    WriteHiddenFile(dir / ".hidden", "x");
    EXPECT_NE(LookAtFolder(dir.path(), Files()), FoundAtPath::Folder);
    WriteBytes(dir / "notes.txt", "x");
    EXPECT_EQ(LookAtFolder(dir.path(), Files()), FoundAtPath::Folder);
    EXPECT_EQ(LookAtFolder(WithTrailingSeparator(dir.path()), Files()), FoundAtPath::Folder);
    EXPECT_NE(LookAtFolder(dir / "missing", Files()), FoundAtPath::Folder);
}

}  // namespace
}  // namespace orba
