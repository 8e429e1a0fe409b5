#include "storage/utf8_file.h"

#include "storage/platform.h"

namespace orba {

std::string LoadAsUTF8(const std::string& fileName) {
    std::string text;
    platform::ReadWholeFile(fileName, text);
    return text;
}

MappedText MapAsUTF8(const std::string& fileName) {
    return platform::MapWholeFile(fileName);
}

void SaveAsUTF8(std::string_view text, const std::string& fileName) {
    SaveAsUTF8(std::span<const std::string_view>(&text, 1), fileName);
}

void SaveAsUTF8(std::span<const std::string_view> pieces, const std::string& fileName,
                std::span<const MappedText* const> sources) {
    platform::ReplaceFile(fileName, pieces, sources);
}

}  // namespace orba
