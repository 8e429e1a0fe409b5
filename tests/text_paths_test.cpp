#include <gtest/gtest.h>

#include "engine/text.h"
#include "storage/paths.h"

namespace orba {
namespace {

TEST(TrimSpacesTest, RemovesPlainAndIdeographicSpacesAtBothEnds) {
    EXPECT_EQ(TrimSpaces("  /maps/tpl.html   "), "/maps/tpl.html");
    EXPECT_EQ(TrimSpaces("\xE3\x80\x80 a b \xE3\x80\x80"), "a b");
    EXPECT_EQ(TrimSpaces("    "), "");
    EXPECT_EQ(TrimSpaces(""), "");
}

TEST(TrimSpacesTest, KeepsTabsLineBreaksAndInnerSpaces) {
    EXPECT_EQ(TrimSpaces("\t a \r\n"), "\t a \r\n");
    EXPECT_EQ(TrimSpaces(" old maps "), "old maps");
}

TEST(TrimSpacesTest, LeavesOtherCharactersSharingBytesAlone) {
    // U+3001 "、" shares its first two bytes with the ideographic space.
    EXPECT_EQ(TrimSpaces("、a、"), "、a、");
}

TEST(AsciiLowerTest, LowersOnlyAsciiLetters) {
    EXPECT_EQ(AsciiLower("C:\\Maps\\TPL.Html"), "c:\\maps\\tpl.html");
    EXPECT_EQ(AsciiLower("脑图ÄB"), "脑图Äb");
}

TEST(MatchesPatternTest, HtmlPatternIgnoresAsciiCase) {
    EXPECT_TRUE(MatchesPattern("a.html", "*.html"));
    EXPECT_TRUE(MatchesPattern("A.HTML", "*.html"));
    EXPECT_TRUE(MatchesPattern("计划.Html", "*.html"));
    EXPECT_TRUE(MatchesPattern(".html", "*.html"));
    EXPECT_FALSE(MatchesPattern("a.htm", "*.html"));
    EXPECT_FALSE(MatchesPattern("a.html.bak", "*.html"));
    EXPECT_FALSE(MatchesPattern("a.xhtml ", "*.html"));
}

TEST(MatchesPatternTest, StarAndQuestionMark) {
    EXPECT_TRUE(MatchesPattern("anything", "*"));
    EXPECT_TRUE(MatchesPattern("", "*"));
    EXPECT_TRUE(MatchesPattern("a.b.html", "*.*.html"));
    EXPECT_TRUE(MatchesPattern("ab", "a?"));
    EXPECT_FALSE(MatchesPattern("a", "a?"));
    EXPECT_TRUE(MatchesPattern("xhtmlhtml", "*html"));
}

TEST(PathsTest, CutLastBackslashRemovesOneSeparator) {
    EXPECT_EQ(CutLastBackslash("D:\\a\\", kWindowsPathStyle), "D:\\a");
    EXPECT_EQ(CutLastBackslash("D:\\a", kWindowsPathStyle), "D:\\a");
    EXPECT_EQ(CutLastBackslash("D:\\a\\\\", kWindowsPathStyle), "D:\\a\\");
    EXPECT_EQ(CutLastBackslash("\\", kWindowsPathStyle), "");
    EXPECT_EQ(CutLastBackslash("", kWindowsPathStyle), "");
    EXPECT_EQ(CutLastBackslash("/srv/maps/", kPosixPathStyle), "/srv/maps");
    EXPECT_EQ(CutLastBackslash("/srv/maps\\", kPosixPathStyle), "/srv/maps\\");
    EXPECT_EQ(CutLastBackslash("Z:/maps/old/", kWindowsPathStyle), "Z:/maps/old")
        << "a slash separates folders on Windows too";
}

TEST(PathsTest, JoinIsPlainConcatenationWithOneSeparator) {
    EXPECT_EQ(JoinPath("D:\\a", "NewORBA", kWindowsPathStyle), "D:\\a\\NewORBA");
    EXPECT_EQ(JoinPath("E:\\", "orba.html", kWindowsPathStyle), "E:\\\\orba.html");
    EXPECT_EQ(JoinPath("/srv", "x.html", kPosixPathStyle), "/srv/x.html");
}

TEST(PathsTest, TrailingSeparatorAddedOnlyWhenMissing) {
    EXPECT_EQ(WithTrailingSeparator("D:\\a", kWindowsPathStyle), "D:\\a\\");
    EXPECT_EQ(WithTrailingSeparator("E:\\", kWindowsPathStyle), "E:\\");
    EXPECT_EQ(WithTrailingSeparator("/", kPosixPathStyle), "/");
}

TEST(PathsTest, FolderPartStopsAtTheLastSeparator) {
    EXPECT_EQ(FolderPartOf("C:\\maps\\spring\\tpl.html", kWindowsPathStyle), "C:\\maps\\spring");
    EXPECT_EQ(FolderPartOf("C:\\tpl.html", kWindowsPathStyle), "C:");
    EXPECT_EQ(FolderPartOf("\\tpl.html", kWindowsPathStyle), "");
    EXPECT_EQ(FolderPartOf("C:/maps/tpl.html", kWindowsPathStyle), std::nullopt);
    EXPECT_EQ(FolderPartOf("tpl.html", kPosixPathStyle), std::nullopt);
    EXPECT_EQ(FolderPartOf("/home/u/tpl.html", kPosixPathStyle), "/home/u");
}

}  // namespace
}  // namespace orba
