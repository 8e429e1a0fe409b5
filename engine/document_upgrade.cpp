#include "engine/document_upgrade.h"

#include "engine/markers.h"

namespace orba {

std::optional<PreparedOutput> PrepareUpgrade(const Files& files,
                                             const TemplateTransplant& transplant,
                                             const std::string& documentPath,
                                             const std::string& outputPath) {
    {
        const OpenDocument document = files.Open(documentPath);
        std::string_view block;
        const bool lookedAtAll = document.Look([&](std::string_view bytes) {
            block = ExtractStringBetween(bytes, kStartMarker, kEndMarker);
        });
        if (lookedAtAll) {
            if (block.empty()) {
                if (document.Unchanged()) {
                    return std::nullopt;
                }
            } else if (PreparedOutput output =
                           files.Prepare(outputPath, transplant.PiecesWith(block), &document);
                       output.ready()) {
                return output;
            }
        }
    }
    // The document changed under the look: read whole, in one consistent state.
    const LoadedFile text = files.Load(documentPath);
    const std::string_view block = ExtractStringBetween(text.bytes(), kStartMarker, kEndMarker);
    if (block.empty()) {
        return std::nullopt;
    }
    return files.Prepare(outputPath, transplant.PiecesWith(block));
}

}  // namespace orba
