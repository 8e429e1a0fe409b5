#include "engine/data_block.h"

#include "engine/byte_search.h"

namespace orba {

std::string_view ExtractStringBetween(std::string_view text, std::string_view startTag,
                                      std::string_view endTag) {
    const std::size_t start = FindBytes(text, startTag, 0);
    if (start == std::string_view::npos) {
        return {};
    }
    const std::size_t begin = start + startTag.size();
    const std::size_t end = FindBytes(text, endTag, begin);
    if (end == std::string_view::npos || end == begin) {
        return {};
    }
    return text.substr(begin, end - begin);
}

TemplateTransplant::TemplateTransplant(std::string_view text, std::string_view startTag,
                                       std::string_view endTag) {
    const std::string_view block = ExtractStringBetween(text, startTag, endTag);
    if (block.empty()) {
        between_.push_back(text);
        return;
    }
    std::size_t from = 0;
    for (std::size_t at = FindBytes(text, block, 0); at != std::string_view::npos;
         at = FindBytes(text, block, from)) {
        between_.push_back(text.substr(from, at - from));
        from = at + block.size();
    }
    between_.push_back(text.substr(from));
}

void TemplateTransplant::WriteStart(UpgradeSink& sink) const {
    sink.Write(between_.front());
}

void TemplateTransplant::WriteBlock(UpgradeSink& sink, std::string_view bytes) const {
    if (between_.size() > 1) {
        sink.Write(bytes);
    }
}

void TemplateTransplant::WriteRest(UpgradeSink& sink, std::uint64_t blockSize) const {
    for (std::size_t i = 1; i < between_.size(); ++i) {
        if (i > 1) {
            sink.Repeat(between_.front().size(), blockSize);
        }
        sink.Write(between_[i]);
    }
}

}  // namespace orba
