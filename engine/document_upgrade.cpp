#include "engine/document_upgrade.h"

#include <utility>

#include "engine/block_stream.h"
#include "engine/markers.h"

namespace orba {

namespace {

// Writes the output while the document is read: the template up to its data block as soon as
// the old block begins, then the old block's bytes as they arrive.
class StreamedUpgrade final : public BlockStream {
  public:
    StreamedUpgrade(const Files& files, const TemplateTransplant& transplant,
                    const std::string& outputPath, std::span<char> buffer)
        : BlockStream(buffer, kStartMarker, kEndMarker),
          files_(files),
          transplant_(transplant),
          outputPath_(outputPath) {}

    // After the read: the rest of the output, the template behind each place of its block with
    // the old block again at each further place, copied from the output itself.
    std::optional<PreparedOutput> Finish(std::span<char> buffer) {
        if (!FoundBlock()) {
            return std::nullopt;  // an output begun for a block that never ended leaves nothing
        }
        const std::vector<std::string_view>& around = transplant_.around();
        for (std::size_t i = 1; i < around.size(); ++i) {
            if (i > 1) {
                output_->Repeat(around.front().size(), blockSize(), buffer);
            }
            output_->Write(around[i]);
        }
        output_->Flush();
        return std::move(output_);
    }

  private:
    void OnRestart() override { output_.reset(); }

    void OnBlockBytes(std::string_view bytes) override {
        if (!output_) {
            output_.emplace(files_, outputPath_);
            output_->Write(transplant_.around().front());
        }
        if (transplant_.around().size() > 1) {  // a template without a block takes none
            output_->Write(bytes);
        }
    }

    const Files& files_;
    const TemplateTransplant& transplant_;
    const std::string& outputPath_;
    std::optional<PreparedOutput> output_;
};

}  // namespace

std::optional<PreparedOutput> PrepareUpgrade(const Files& files,
                                             const TemplateTransplant& transplant,
                                             const std::string& documentPath,
                                             const std::string& outputPath,
                                             std::span<char> buffer) {
    StreamedUpgrade upgrade(files, transplant, outputPath, buffer);
    // A document without a whole block may be one that is being saved this very moment.
    files.ReadComplete(documentPath, upgrade, [&] { return upgrade.FoundBlock(); });
    return upgrade.Finish(buffer);
}

bool HasDataBlock(const Files& files, const std::string& documentPath, std::span<char> buffer) {
    BlockStream stream(buffer, kStartMarker, kEndMarker);
    files.ReadComplete(documentPath, stream, [&] { return stream.FoundBlock(); });
    return stream.FoundBlock();
}

}  // namespace orba
