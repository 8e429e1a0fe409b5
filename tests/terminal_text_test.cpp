// What a terminal is shown of a name: every byte that could be taken for a command, or that is no
// text, escaped; all else as it stands.

#include "cli/terminal_text.h"

#include <gtest/gtest.h>

namespace orba::cli {
namespace {

TEST(TerminalSafeTest, EscapesWhatATerminalCouldTakeForACommand) {
    const struct {
        std::string_view text;
        std::string_view shown;
    } cases[] = {
        {"a\x1b]2;PWNED\x07"
         "b.html",
         "a\\033]2;PWNED\\007b.html"},  // sets a terminal's title
        {"line\r\nbreak", "line\\015\\012break"},
        {"del\x7f", "del\\177"},
        {"c1\xc2\x9b"
         "31m",
         "c1\\302\\23331m"},  // U+009B, the one-byte CSI
        {"evil\xe2\x80\xae"
         "lmth.exe",
         "evil\\342\\200\\256lmth.exe"},              // right-to-left override
        {"iso\xe2\x81\xa6x", "iso\\342\\201\\246x"},  // left-to-right isolate
        {"sep\xe2\x80\xa8x", "sep\\342\\200\\250x"},  // line separator
        // Characters that show as nothing: zwsp.html would hide the one it holds.
        {"zw\xe2\x80\x8bsp", "zw\\342\\200\\213sp"},  // zero-width space
        {"ar\xd8\x9cm", "ar\\330\\234m"},             // Arabic letter mark
        {"wj\xe2\x81\xa0x", "wj\\342\\201\\240x"},    // word joiner
        {"\xef\xbb\xbf"
         "bom",
         "\\357\\273\\277bom"},                              // byte order mark
        {"tag\xf3\xa0\x81\x81", "tag\\363\\240\\201\\201"},  // tag letter A
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(TerminalSafe(text), shown);
    }
}

TEST(TerminalSafeTest, EscapesEachByteThatIsNotUtf8) {
    EXPECT_EQ(TerminalSafe("c\xff.html"), "c\\377.html");
    EXPECT_EQ(TerminalSafe("\xc0\xaf"), "\\300\\257");                    // overlong slash
    EXPECT_EQ(TerminalSafe("\xed\xa0\x80"), "\\355\\240\\200");           // a surrogate
    EXPECT_EQ(TerminalSafe("cut\xe4\xb8"), "cut\\344\\270");              // a sequence cut short
    EXPECT_EQ(TerminalSafe("\xf4\x90\x80\x80"), "\\364\\220\\200\\200");  // beyond U+10FFFF
}

TEST(TerminalSafeTest, KeepsPrintableTextOfEveryScript) {
    for (const std::string_view text :
         {std::string_view("项目计划.html"), std::string_view(R"(D:\maps\旧 图\a b.html)"),
          std::string_view("emoji 🗺️ and Ä"), std::string_view("")}) {
        EXPECT_EQ(TerminalSafe(text), text);
    }
}

}  // namespace
}  // namespace orba::cli
