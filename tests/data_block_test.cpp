#include "engine/data_block.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/markers.h"
#include "tests/support/test_support.h"

namespace orba {
namespace {

using test::Document;

// A string as the place an upgraded document is written to.
class StringSink final : public UpgradeSink {
  public:
    void Write(std::string_view bytes) override { text += bytes; }
    void Repeat(std::uint64_t offset, std::uint64_t length) override {
        text += text.substr(offset, length);
    }
    std::string text;
};

// The upgraded document as the transplant writes it, the old block coming in two parts.
std::string Upgraded(TemplateTransplant& transplant, std::string_view oldBlock) {
    StringSink sink;
    transplant.WriteStart(sink);
    transplant.WriteBlock(sink, oldBlock.substr(0, oldBlock.size() / 2));
    transplant.WriteBlock(sink, oldBlock.substr(oldBlock.size() / 2));
    transplant.WriteRest(sink, oldBlock.size());
    return sink.text;
}

std::string_view Block(std::string_view text) {
    return ExtractStringBetween(text, kStartMarker, kEndMarker);
}

TEST(ExtractStringBetweenTest, ReturnsTextStrictlyBetweenTheMarkers) {
    EXPECT_EQ(Block(Document("<html>", "{\"root\":\"中心主题\"}", "</html>")),
              "{\"root\":\"中心主题\"}");
}

TEST(ExtractStringBetweenTest, SecondStartMarkerBelongsToTheBlock) {
    const std::string inner = std::string("a") + std::string(kStartMarker) + "b";
    EXPECT_EQ(Block(Document("", inner, "")), inner);
}

TEST(ExtractStringBetweenTest, EndsAtTheFirstEndMarkerBehindTheStart) {
    const std::string text = Document("", "one", std::string(kEndMarker) + "two");
    EXPECT_EQ(Block(text), "one");
}

TEST(ExtractStringBetweenTest, EmptyWhenAMarkerIsMissingOrMisplaced) {
    const std::string start(kStartMarker);
    const std::string end(kEndMarker);
    EXPECT_EQ(Block(""), "");
    EXPECT_EQ(Block("no markers at all"), "");
    EXPECT_EQ(Block(start + "block without end"), "");
    EXPECT_EQ(Block(end + "block" + start), "") << "end marker only in front of the start";
    EXPECT_EQ(Block("text" + start), "") << "start marker at the very end";
    EXPECT_EQ(Block(start + end), "") << "markers adjacent";
}

TEST(ExtractStringBetweenTest, EndMarkerMayNotOverlapTheStartMarker) {
    // Tags that share characters: the end tag is searched only behind the whole start tag.
    EXPECT_EQ(ExtractStringBetween("abcbc", "abc", "bc"), "");
    EXPECT_EQ(ExtractStringBetween("abcXbc", "abc", "bc"), "X");
}

TEST(ExtractStringBetweenTest, MarkersAreComparedExactly) {
    const std::string upper = R"(<DIV id="DATA_SAVER" class="data_saver">)";
    EXPECT_EQ(Block(upper + "x" + std::string(kEndMarker)), "");
    for (const char* spaces : {"  ", "    "}) {
        const std::string end =
            std::string("</div>") + spaces + "<!-- <div id=\"DATA_SAVER\">结束 -->";
        EXPECT_EQ(Block(std::string(kStartMarker) + "x" + end), "") << "spaces: " << spaces;
    }
}

TEST(ExtractStringBetweenTest, BytesOutsideUtf8PassThrough) {
    const std::string block = "\xEF\xBB\xBF\xFF\xFE\r\nline\n\x80";
    EXPECT_EQ(Block(Document("\xEF\xBB\xBF", block, "")), block);
}

TEST(TemplateTransplantTest, ReplacesTheBlockAndKeepsEverythingElse) {
    const std::string text = Document("<head>新版</head>", "TEMPLATE", "<script/>");
    TemplateTransplant transplant(text, kStartMarker, kEndMarker);
    EXPECT_EQ(Upgraded(transplant, "旧的图谱"),
              Document("<head>新版</head>", "旧的图谱", "<script/>"));
}

TEST(TemplateTransplantTest, ReplacesEveryOccurrenceOfTheBlockText) {
    const std::string text = Document("var b='MAP';", "MAP", "MAPMAP");
    TemplateTransplant transplant(text, kStartMarker, kEndMarker);
    EXPECT_EQ(Upgraded(transplant, "old"), Document("var b='old';", "old", "oldold"));
}

TEST(TemplateTransplantTest, OccurrencesDoNotOverlapAndInsertedTextIsNotScannedAgain) {
    const std::string text = Document("aaa", "aa", "a");
    TemplateTransplant transplant(text, kStartMarker, kEndMarker);
    // "aaa" holds one non-overlapping "aa" from the left, leaving "a".
    EXPECT_EQ(Upgraded(transplant, "aab"), Document("aaba", "aab", "a"));
}

TEST(TemplateTransplantTest, BlockWithSurroundingSpacesIsUsedWithThem) {
    const std::string text = Document("", "  map  ", "");
    TemplateTransplant transplant(text, kStartMarker, kEndMarker);
    EXPECT_EQ(Upgraded(transplant, "X"), Document("", "X", ""));
}

TEST(TemplateTransplantTest, SameBlockGivesTheTemplateUnchanged) {
    const std::string text = Document("<p>", "{\"a\":1}", "</p>");
    TemplateTransplant transplant(text, kStartMarker, kEndMarker);
    EXPECT_EQ(Upgraded(transplant, "{\"a\":1}"), text);
}

TEST(TemplateTransplantTest, TemplateWithoutABlockIsWrittenAsItStands) {
    const std::string text = "<html>no block</html>";
    TemplateTransplant transplant(text, kStartMarker, kEndMarker);
    EXPECT_EQ(Upgraded(transplant, "old"), text);
}

TEST(TemplateTransplantTest, PiecesAreReusableFromOneDocumentToTheNext) {
    const std::string text = Document("<", "map", ">");
    TemplateTransplant transplant(text, kStartMarker, kEndMarker);
    EXPECT_EQ(Upgraded(transplant, "first"), Document("<", "first", ">"));
    EXPECT_EQ(Upgraded(transplant, "2"), Document("<", "2", ">"));
}

TEST(TemplateTransplantTest, BlockTextInsideTheMarkersIsReplacedToo) {
    // "DATA_SAVER" stands in both markers: a template whose block is that text loses it there as
    // well, because only the block's text decides what is replaced.
    const std::string text = Document("", "DATA_SAVER", "");
    TemplateTransplant transplant(text, kStartMarker, kEndMarker);
    const std::string upgraded = Upgraded(transplant, "X");
    EXPECT_EQ(upgraded.find("DATA_SAVER"), std::string::npos);
    EXPECT_NE(upgraded.find(R"(<div id="X" class="data_saver">X</div>)"), std::string::npos);
}

}  // namespace
}  // namespace orba
