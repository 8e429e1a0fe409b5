#include "ui/win32/win32_support.h"

#include <cstdint>
#include <string>

namespace orba::ui::win32 {

std::string WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

namespace {

// Plain text in rich-text form: ASCII as it stands but for the three characters that rich text
// keeps for itself, every other character as \uN with N its UTF-16 unit, a signed 16-bit number.
std::string Escaped(std::string_view utf8) {
    std::string escaped;
    for (const wchar_t unit : WideFromUtf8(utf8)) {
        if (unit == L'\\' || unit == L'{' || unit == L'}') {
            escaped += '\\';
            escaped += static_cast<char>(unit);
        } else if (unit >= 0x20 && unit < 0x7f) {
            escaped += static_cast<char>(unit);
        } else {
            escaped += "\\u" + std::to_string(static_cast<std::int16_t>(unit)) + "?";
        }
    }
    return escaped;
}

}  // namespace

std::string RichTextOf(std::string_view text, std::string_view font) {
    std::string body;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t lineEnd = text.find("\r\n", at);
        const std::size_t end = lineEnd == std::string_view::npos ? text.size() : lineEnd;
        body += Escaped(text.substr(at, end - at));
        if (lineEnd == std::string_view::npos) {
            break;
        }
        body += "\\par ";
        at = lineEnd + 2;
    }
    return "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 " + Escaped(font) +
           ";}}\r\n\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs18 " + body + "}\r\n";
}

}  // namespace orba::ui::win32
