#include "engine/document_upgrade.h"

#include <utility>

#include "engine/block_stream.h"
#include "engine/markers.h"

namespace orba {

namespace {

// An output file as the place an upgraded document is written to.
class OutputSink final : public UpgradeSink {
  public:
    OutputSink(PreparedOutput& output, std::span<char> buffer) : output_(output), buffer_(buffer) {}
    void Write(std::string_view bytes) override { output_.Write(bytes); }
    void Repeat(std::uint64_t offset, std::uint64_t length) override {
        output_.Repeat(offset, length, buffer_);
    }

  private:
    PreparedOutput& output_;
    std::span<char> buffer_;
};

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

    // After the read: the rest of the output, through `buffer`.
    PreparedUpgrade Finish(std::span<char> buffer) {
        if (!FoundBlock()) {
            // An output begun for a block that never ended leaves nothing.
            return {std::nullopt, WhyNoBlock()};
        }
        OutputSink sink(*output_, buffer);
        transplant_.WriteRest(sink, blockSize());
        output_->Complete();  // a disk found full is found while the document is prepared
        return {std::move(output_)};
    }

  private:
    void OnRestart() override { output_.reset(); }

    void OnBlockBytes(std::string_view bytes) override {
        // The block's bytes pass through the read buffer itself: nothing is repeated meanwhile.
        OutputSink sink(EnsureOutput(), {});
        transplant_.WriteBlock(sink, bytes);
    }

    // The output is begun with the block's first bytes.
    PreparedOutput& EnsureOutput() {
        if (!output_) {
            output_.emplace(files_, outputPath_);
            OutputSink sink(*output_, {});
            transplant_.WriteStart(sink);
        }
        return *output_;
    }

    const Files& files_;
    const TemplateTransplant& transplant_;
    const std::string& outputPath_;
    std::optional<PreparedOutput> output_;
};

}  // namespace

PreparedUpgrade PrepareUpgrade(const Files& files, const TemplateTransplant& transplant,
                               const std::string& documentPath, const std::string& outputPath,
                               std::span<char> buffer) {
    StreamedUpgrade upgrade(files, transplant, outputPath, buffer);
    // A document without a whole block may be one that is being saved this very moment.
    files.ReadComplete(documentPath, upgrade, [&] { return upgrade.FoundBlock(); });
    return upgrade.Finish(buffer);
}

std::optional<PassedOverReason> WhyPassedOver(const Files& files, const std::string& documentPath,
                                              std::span<char> buffer) {
    BlockStream stream(buffer, kStartMarker, kEndMarker);
    files.ReadComplete(documentPath, stream, [&] { return stream.FoundBlock(); });
    if (stream.FoundBlock()) {
        return std::nullopt;
    }
    return stream.WhyNoBlock();
}

}  // namespace orba
