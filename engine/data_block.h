#pragma once

// The data block: the stretch of a document between its start marker and the first end marker
// behind it, and its transplant into a template document.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orba {

// The text between the first `startTag` and the first `endTag` at or behind the end of it, or an
// empty view when either is missing or they touch. The result points into `text`.
std::string_view ExtractStringBetween(std::string_view text, std::string_view startTag,
                                      std::string_view endTag);

// Where an upgraded document is written: an output file, or a string in a test.
class UpgradeSink {
  public:
    virtual ~UpgradeSink() = default;
    virtual void Write(std::string_view bytes) = 0;
    // Writes again the `length` bytes written from `offset` on.
    virtual void Repeat(std::uint64_t offset, std::uint64_t length) = 0;
};

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

    // The upgraded document is the template with every occurrence of its data block, left to right
    // and not overlapping, replaced by the old block. It is written in three steps, so that the
    // old block can be taken as it is read: the template up to the block's first place; the old
    // block's bytes as they come (taken by none where the template has no block); then the rest
    // of the template, with the `blockSize` bytes of the old block again at each further place,
    // copied from what was written. Safe to use for several documents at once.
    void WriteStart(UpgradeSink& sink) const;
    void WriteBlock(UpgradeSink& sink, std::string_view bytes) const;
    void WriteRest(UpgradeSink& sink, std::uint64_t blockSize) const;

  private:
    std::vector<std::string_view> between_;  // the template around the occurrences; one more
                                             // piece than occurrences
};

}  // namespace orba
