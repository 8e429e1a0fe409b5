#include "storage/utf8_file.h"

namespace orba {

std::string LoadAsUTF8(const std::string& fileName) {
    return std::string(Files().Load(fileName).bytes());
}

void SaveAsUTF8(std::string_view text, const std::string& fileName) {
    SaveAsUTF8(std::span<const std::string_view>(&text, 1), fileName);
}

void SaveAsUTF8(std::span<const std::string_view> pieces, const std::string& fileName,
                const Files& files) {
    files.Replace(fileName, pieces);
}

}  // namespace orba
