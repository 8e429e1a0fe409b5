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
    block_ = ExtractStringBetween(text, startTag, endTag);
    if (block_.empty()) {
        between_.push_back(text);
        return;
    }
    std::size_t from = 0;
    for (std::size_t at = FindBytes(text, block_, 0); at != std::string_view::npos;
         at = FindBytes(text, block_, from)) {
        between_.push_back(text.substr(from, at - from));
        from = at + block_.size();
    }
    between_.push_back(text.substr(from));
}

std::vector<std::string_view> TemplateTransplant::PiecesWith(std::string_view oldBlock) const {
    std::vector<std::string_view> pieces;
    pieces.reserve(2 * between_.size());
    for (std::size_t i = 0; i < between_.size(); ++i) {
        if (i > 0) {
            pieces.push_back(oldBlock);
        }
        pieces.push_back(between_[i]);
    }
    return pieces;
}

}  // namespace orba
