#include "cli/terminal_text.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdint>

namespace orba::cli {

namespace {

// The length of the UTF-8 sequence at the start of `text` and the code point it encodes; 0 when
// it is not one (a stray byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t DecodeOne(std::string_view text, char32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// Unicode's format characters (category Cf), which a terminal shows as nothing or which reorder
// the text around them: bidirectional marks, embeddings and isolates, zero-width characters, the
// byte order mark, tag characters (Unicode 15).
constexpr struct {
    char32_t first;
    char32_t last;
} kFormatCharacters[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

bool IsUnsafe(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F) ||  // C0, DEL, C1 controls
        c == 0x2028 || c == 0x2029) {            // line and paragraph separators
        return true;
    }
    for (const auto& [first, last] : kFormatCharacters) {
        if (c >= first && c <= last) {
            return true;
        }
    }
    return false;
}

void AppendOctal(std::string& out, unsigned char byte) {
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    while (!text.empty()) {
        char32_t codePoint = 0;
        std::size_t length = DecodeOne(text, codePoint);
        const bool unsafe = length == 0 || IsUnsafe(codePoint);
        length = length == 0 ? 1 : length;
        for (std::size_t i = 0; i < length; ++i) {
            if (unsafe) {
                AppendOctal(safe, static_cast<unsigned char>(text[i]));
            } else {
                safe += text[i];
            }
        }
        text.remove_prefix(length);
    }
    return safe;
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    // _isatty would also say so of the NUL device.
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

}  // namespace orba::cli
