// The fast marker search agrees with the plain one on every input: random text, text made of marker
// fragments, markers at every place relative to the blocks the search works in, at the very start
// and end, and buffers shorter than a block.

#include "engine/byte_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/markers.h"

namespace orba {
namespace {

// Checks every start position of `haystack` against the plain search.
void ExpectAgreement(const std::string& haystack, std::string_view needle) {
    for (std::size_t from = 0; from <= haystack.size() + 1; ++from) {
        const std::size_t expected = FindBytesPlain(haystack, needle, from);
        const std::size_t found = FindBytes(haystack, needle, from);
        if (found != expected) {
            ADD_FAILURE() << "from " << from << ", haystack of " << haystack.size()
                          << " bytes, needle \"" << needle << "\": found " << found << ", expected "
                          << expected;
            return;
        }
    }
}

TEST(ByteSearchTest, PlainSearchFindsTheFirstMatchAtOrAfterTheStart) {
    EXPECT_EQ(FindBytesPlain("abcabc", "bc", 0), 1u);
    EXPECT_EQ(FindBytesPlain("abcabc", "bc", 2), 4u);
    EXPECT_EQ(FindBytesPlain("abcabc", "bc", 5), std::string_view::npos);
    EXPECT_EQ(FindBytesPlain("abc", "", 3), 3u);
    EXPECT_EQ(FindBytesPlain("abc", "", 4), std::string_view::npos);
    EXPECT_EQ(FindBytesPlain("ab", "abc", 0), std::string_view::npos);
}

TEST(ByteSearchTest, MarkersAtEveryPlaceAroundTheBlockEdges) {
    for (const std::string_view marker : {kStartMarker, kEndMarker}) {
        for (std::size_t size = 0; size <= 140; ++size) {
            for (std::size_t at = 0; at + marker.size() <= size; at += 3) {
                std::string text(size, 'x');
                text.replace(at, marker.size(), marker);
                ExpectAgreement(text, marker);
            }
            ExpectAgreement(std::string(size, '<'), marker);  // shorter or without the marker
        }
    }
}

TEST(ByteSearchTest, TextMadeOfMarkerFragmentsAndNearMatches) {
    std::mt19937 random(7);
    const std::string_view marker = kStartMarker;
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const std::size_t pieces = random() % 12;
        for (std::size_t i = 0; i < pieces; ++i) {
            const std::size_t begin = random() % marker.size();
            const std::size_t length = random() % (marker.size() - begin + 1);
            text += marker.substr(begin, length);
            if (random() % 4 == 0) {  // a near-match: one byte changed
                std::string near(marker);
                near[random() % near.size()] ^= 0x20;
                text += near;
            }
            if (random() % 8 == 0) {
                text += marker;
            }
        }
        ExpectAgreement(text, marker);
    }
}

TEST(ByteSearchTest, RandomTextAndNeedlesOverASmallAlphabet) {
    std::mt19937 random(11);
    const std::string alphabet = "ab<>\"_ \xE7\xBB";
    for (int round = 0; round < 600; ++round) {
        std::string haystack(random() % 200, ' ');
        for (char& c : haystack) {
            c = alphabet[random() % alphabet.size()];
        }
        std::string needle(1 + random() % 6, ' ');
        for (char& c : needle) {
            c = alphabet[random() % alphabet.size()];
        }
        ExpectAgreement(haystack, needle);
    }
}

TEST(ByteSearchTest, OverlappingRepeatsFindTheFirst) {
    ExpectAgreement(std::string(100, 'a') + "b", "aab");
    ExpectAgreement(std::string(100, 'a'), "aaaa");
    ExpectAgreement("abababababababababababababababababababababababab", "ababab");
}

TEST(ByteSearchTest, NeedleLongerThanThePartTheFilterLooksAt) {
    // The filter's bytes come from the needle's first 256; a match must still agree to the end,
    // and a near miss past that part must not be taken for one.
    std::mt19937 random(5);
    std::string needle(700, ' ');
    for (char& c : needle) {
        c = "<>ab_\xE7"[random() % 6];
    }
    std::string nearMiss = needle;
    nearMiss[600] = '#';
    std::string lastByteDiffers = needle;
    lastByteDiffers.back() = '#';
    const std::string haystack =
        std::string(300, 'a') + nearMiss + lastByteDiffers + "xx" + needle + "yy" + needle;
    ExpectAgreement(haystack, needle);
    EXPECT_EQ(FindBytes(haystack, needle, 0), 300 + 2 * needle.size() + 2);
}

}  // namespace
}  // namespace orba
