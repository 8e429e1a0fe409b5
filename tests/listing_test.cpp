#include "engine/listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "storage/file_error.h"
#include "tests/test_support.h"

namespace orba {
namespace {

using test::MakeFolder;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;

TEST(ListFilesTest, ListsOrdinaryHtmlFilesSortedByBytes) {
    TempDir dir;
    for (const char* name : {"b.html", "A.HTML", "c.Html", "脑图.html", "d.htm", "e.txt"}) {
        WriteBytes(dir / name, "x");
    }
    EXPECT_THAT(ListFiles(dir.path(), "*.html"),
                ElementsAre("A.HTML", "b.html", "c.Html", "脑图.html"));
}

TEST(ListFilesTest, LeavesOutFoldersSpecialAndHiddenFiles) {
    TempDir dir;
    WriteBytes(dir / "real.html", "x");
    WriteBytes(dir / ".hidden.html", "x");
    MakeFolder(dir / "folder.html");
    ASSERT_EQ(::mkfifo((dir / "fifo.html").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("real.html", (dir / "link.html").c_str()), 0);
    ASSERT_EQ(::symlink("missing.html", (dir / "dangling.html").c_str()), 0);
    ASSERT_EQ(::symlink("folder.html", (dir / "dirlink.html").c_str()), 0);
    EXPECT_THAT(ListFiles(dir.path(), "*.html"), ElementsAre("link.html", "real.html"));
}

TEST(ListFilesTest, UnreadableFolderIsAFailure) {
    TempDir dir;
    EXPECT_THROW(ListFiles(dir / "missing", "*.html"), FileError);
}

TEST(FileExistsTest, OnlyVisibleOrdinaryFilesExist) {
    TempDir dir;
    WriteBytes(dir / "tpl.html", "x");
    WriteBytes(dir / ".tpl.html", "x");
    MakeFolder(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("tpl.html", (dir / "link").c_str()), 0);

    EXPECT_TRUE(FileExists(dir / "tpl.html"));
    EXPECT_TRUE(FileExists(dir / "link"));
    EXPECT_FALSE(FileExists(dir / ".tpl.html"));
    EXPECT_FALSE(FileExists(dir / "folder"));
    EXPECT_FALSE(FileExists(dir / "folder/"));
    EXPECT_FALSE(FileExists(dir / "fifo"));
    EXPECT_FALSE(FileExists(dir / "missing.html"));
    EXPECT_FALSE(FileExists(dir / "*.html")) << "wildcards are not expanded";
    EXPECT_FALSE(FileExists(""));
}

TEST(FolderHasFilesTest, AnyOrdinaryFileCounts) {
    TempDir dir;
    EXPECT_FALSE(FolderHasFiles(dir.path()));
    MakeFolder(dir / "sub");
    WriteBytes(dir / "sub/inner.html", "x");
    EXPECT_FALSE(FolderHasFiles(dir.path())) << "files in subfolders do not count";
    WriteBytes(dir / ".hidden", "x");
    EXPECT_FALSE(FolderHasFiles(dir.path()));
    WriteBytes(dir / "notes.txt", "x");
    EXPECT_TRUE(FolderHasFiles(dir.path()));
    EXPECT_TRUE(FolderHasFiles(dir.path() + "/"));
    EXPECT_FALSE(FolderHasFiles(dir / "missing"));
}

TEST(FolderHasFilesTest, SocketsAndFifosAreNotFiles) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir / "sock";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_FALSE(FolderHasFiles(dir.path()));
    ::close(fd);
}

}  // namespace
}  // namespace orba
