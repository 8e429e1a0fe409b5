#pragma once

// The data block: the stretch of a document between its start marker and the first end marker
// behind it, and its transplant into a template document.

#include <string>
#include <string_view>
#include <vector>

namespace orba {

// The text between the first `startTag` and the first `endTag` at or behind the end of it, or an
// empty view when either is missing or they touch. The result points into `text`.
std::string_view ExtractStringBetween(std::string_view text, std::string_view startTag,
                                      std::string_view endTag);

// A template document prepared once per run: its data block and every place where the block's
// text occurs, so that each upgraded document is the template's pieces around the old block.
// The template text is not copied: it must outlive this object.
class TemplateTransplant {
  public:
    TemplateTransplant(std::string_view templateText, std::string_view startTag,
                       std::string_view endTag);
    TemplateTransplant(std::string&&, std::string_view, std::string_view) = delete;

    TemplateTransplant(const TemplateTransplant&) = delete;
    TemplateTransplant& operator=(const TemplateTransplant&) = delete;

    std::string_view templateBlock() const { return block_; }

    // The upgraded document as consecutive pieces: the template with every occurrence of its data
    // block, left to right and not overlapping, replaced by `oldBlock`. The views point into the
    // template and into `oldBlock`. Safe to call from several threads at once.
    std::vector<std::string_view> PiecesWith(std::string_view oldBlock) const;

    // The template around the places of its block, in order: one piece more than places.
    const std::vector<std::string_view>& around() const { return between_; }

  private:
    std::string_view block_;
    std::vector<std::string_view> between_;  // the template around the occurrences; one more
                                             // piece than occurrences
};

}  // namespace orba
