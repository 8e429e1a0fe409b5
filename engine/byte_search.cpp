#include "engine/byte_search.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#define ORBA_SEARCH_SIMD 1
#include <emmintrin.h>
#endif

namespace orba {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// How often a byte turns up in HTML, CSS and JavaScript, roughly, from 0 (rare) to 9 (everywhere):
// the filter looks for the needle's rarest bytes, which lets few false candidates through.
constexpr std::array<std::uint8_t, 256> kCommonness = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(3);  // punctuation such as ! # $ % & * + ? @ [ \ ] ^ ` | ~
    for (int c = 0x80; c < 0x100; ++c) {
        table[static_cast<std::size_t>(c)] = 5;  // UTF-8 of Chinese text
    }
    for (char c = 'a'; c <= 'z'; ++c) {
        table[static_cast<unsigned char>(c)] = 8;
    }
    for (char c = 'A'; c <= 'Z'; ++c) {
        table[static_cast<unsigned char>(c)] = 4;
    }
    for (char c = '0'; c <= '9'; ++c) {
        table[static_cast<unsigned char>(c)] = 6;
    }
    for (const char c : std::string_view(" etaoinsr")) {
        table[static_cast<unsigned char>(c)] = 9;
    }
    for (const char c : std::string_view("<>\"=/")) {
        table[static_cast<unsigned char>(c)] = 7;
    }
    for (const char c : std::string_view(".,;:(){}-'\r\n\t")) {
        table[static_cast<unsigned char>(c)] = 6;
    }
    table['_'] = 2;
    return table;
}();

// The two positions of the needle whose bytes the filter compares: the rarest byte, and the
// rarest other byte at another position.
std::pair<std::size_t, std::size_t> FilterPositions(std::string_view whole) {
    // Any two positions make a correct filter; the rarest bytes are looked for near the start, so
    // that a long needle (a template's data block) costs no pass of its own.
    constexpr std::size_t kLookedAt = 256;
    const std::string_view needle = whole.substr(0, kLookedAt);
    const auto commonness = [&](std::size_t i) {
        return kCommonness[static_cast<unsigned char>(needle[i])];
    };
    std::size_t first = 0;
    for (std::size_t i = 1; i < needle.size(); ++i) {
        if (commonness(i) < commonness(first)) {
            first = i;
        }
    }
    std::size_t second = first == 0 ? 1 : 0;
    for (std::size_t i = 0; i < needle.size(); ++i) {
        if (i != first && needle[i] != needle[first] && commonness(i) < commonness(second)) {
            second = i;
        }
    }
    return first < second ? std::pair{first, second} : std::pair{second, first};
}

bool MatchesAt(const char* at, std::string_view needle) {
    return std::memcmp(at, needle.data(), needle.size()) == 0;
}

// A candidate whose first or last byte differs is no match: telling so inline keeps text made of
// the filter's two bytes, where candidates are dense, from costing a comparison call each.
bool CandidateMatchesAt(const char* at, std::string_view needle) {
    return at[0] == needle.front() && at[needle.size() - 1] == needle.back() &&
           MatchesAt(at, needle);
}

#ifdef ORBA_SEARCH_SIMD

// Checks the candidates of one block, a bit each; the first whole match, or npos.
inline std::size_t FirstMatch(std::uint32_t mask, const char* data, std::size_t at,
                              std::string_view needle) {
    for (; mask != 0; mask &= mask - 1) {
        const std::size_t candidate = at + static_cast<std::size_t>(__builtin_ctz(mask));
        if (CandidateMatchesAt(data + candidate, needle)) {
            return candidate;
        }
    }
    return npos;
}

// Each block of positions is handled while every one of them leaves room for the whole needle;
// the plain search takes the few positions left at the end.
std::size_t FindSse2(std::string_view haystack, std::string_view needle, std::size_t from) {
    constexpr std::size_t kWidth = 16;
    const auto [p, q] = FilterPositions(needle);
    const __m128i first = _mm_set1_epi8(needle[p]);
    const __m128i second = _mm_set1_epi8(needle[q]);
    const char* const data = haystack.data();
    const auto candidates = [&](std::size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + p));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + q));
        return _mm_and_si128(_mm_cmpeq_epi8(x, first), _mm_cmpeq_epi8(y, second));
    };
    std::size_t at = from;
    // One block where the search starts, then rounds of four blocks whose first loads are aligned,
    // so that only the second load of a block may straddle two cache lines.
    if (at + kWidth + needle.size() - 1 <= haystack.size()) {
        const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(candidates(at)));
        if (const std::size_t found = FirstMatch(mask, data, at, needle); found != npos) {
            return found;
        }
        at += kWidth - reinterpret_cast<std::uintptr_t>(data + at + p) % kWidth;
    }
    for (; at + 4 * kWidth + needle.size() - 1 <= haystack.size(); at += 4 * kWidth) {
        const __m128i a = candidates(at);
        const __m128i b = candidates(at + kWidth);
        const __m128i c = candidates(at + 2 * kWidth);
        const __m128i d = candidates(at + 3 * kWidth);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
            const std::uint32_t mask = static_cast<std::uint32_t>(_mm_movemask_epi8(a)) |
                                       static_cast<std::uint32_t>(_mm_movemask_epi8(b)) << 16;
            if (const std::size_t found = FirstMatch(mask, data, at, needle); found != npos) {
                return found;
            }
            const std::uint32_t later = static_cast<std::uint32_t>(_mm_movemask_epi8(c)) |
                                        static_cast<std::uint32_t>(_mm_movemask_epi8(d)) << 16;
            if (const std::size_t found = FirstMatch(later, data, at + 2 * kWidth, needle);
                found != npos) {
                return found;
            }
        }
    }
    for (; at + kWidth + needle.size() - 1 <= haystack.size(); at += kWidth) {
        const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(candidates(at)));
        if (const std::size_t found = FirstMatch(mask, data, at, needle); found != npos) {
            return found;
        }
    }
    return FindBytesPlain(haystack, needle, at);
}

#endif

}  // namespace

std::size_t FindBytesPlain(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (from > haystack.size() || needle.size() > haystack.size() - from) {
        return npos;
    }
    for (std::size_t at = from; at + needle.size() <= haystack.size(); ++at) {
        if (MatchesAt(haystack.data() + at, needle)) {
            return at;
        }
    }
    return npos;
}

std::size_t FindBytes(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (from > haystack.size() || needle.size() > haystack.size() - from) {
        return npos;
    }
#ifdef ORBA_SEARCH_SIMD
    if (needle.size() >= 2) {
        return FindSse2(haystack, needle, from);
    }
#endif
    return haystack.find(needle, from);
}

}  // namespace orba
