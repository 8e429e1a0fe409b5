#include "engine/document_upgrade.h"

#include <algorithm>
#include <utility>

#include "engine/block_stream.h"
#include "engine/markers.h"
#include "storage/paths.h"

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
            return {nullptr, WhyNoBlock(), {}};
        }
        OutputSink sink(*output_, buffer);
        transplant_.WriteRest(sink, blockSize());
        output_->Complete();  // a disk found full is found while the document is prepared
        return {std::move(output_), {}, {}};
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
            output_ = std::make_unique<PreparedOutput>(files_, outputPath_);
            OutputSink sink(*output_, {});
            transplant_.WriteStart(sink);
        }
        return *output_;
    }

    const Files& files_;
    const TemplateTransplant& transplant_;
    const std::string& outputPath_;
    std::unique_ptr<PreparedOutput> output_;
};

// An upgraded document built in memory.
class TextSink final : public UpgradeSink {
  public:
    explicit TextSink(std::string& text) : text_(text) {}
    void Write(std::string_view bytes) override { text_.append(bytes); }
    void Repeat(std::uint64_t offset, std::uint64_t length) override {
        text_.append(text_, static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }

  private:
    std::string& text_;
};

// The data block of a document read whole, found exactly as a document read in chunks.
class BlockOfText final : public BlockStream {
  public:
    using BlockStream::BlockStream;
    std::string block;

  private:
    void OnRestart() override { block.clear(); }
    void OnBlockBytes(std::string_view bytes) override { block.append(bytes); }
};

// Documents up to this size are compared in memory; a larger one is written again, as a run that
// does not compare writes it.
constexpr std::uint64_t kComparedAtMost = std::uint64_t{16} << 20;

// A file's whole content where the system tells a size up to `most` for it; none read otherwise.
// Once the size the system told has come, the pass ends without another read to find the end (on
// a share, each is a round trip): a file that changed meanwhile shows in the read's check of it.
class LoadedUpTo final : public ReadingSink {
  public:
    explicit LoadedUpTo(std::uint64_t most) : most_(most) {}
    void Restart(std::uint64_t sizeHint) override {
        tooLarge_ = sizeHint > most_;
        told_ = sizeHint;
        file_.Restart(tooLarge_ ? 0 : sizeHint);
    }
    std::span<char> Room() override {
        const bool whole = told_ > 0 && file_.bytes().size() >= told_;
        return tooLarge_ || whole ? std::span<char>() : file_.Room();
    }
    void Took(std::size_t count) override { file_.Took(count); }
    bool tooLarge() const { return tooLarge_ || file_.bytes().size() > most_; }
    std::string_view bytes() const { return file_.bytes(); }

  private:
    std::uint64_t most_;
    std::uint64_t told_ = 0;  // the size the system told, 0 where it tells none
    LoadedFile file_;
    bool tooLarge_ = false;
};

// A document's upgrade in memory, beside the document and what stands at its output's name.
struct UpgradeInMemory {
    std::optional<PassedOverReason> passedOver;
    std::string output;
    UpgradeChange change;
    bool tooLarge = false;  // nothing was compared
};

UpgradeInMemory UpgradeWhole(const Files& files, const TemplateTransplant& transplant,
                             const std::string& documentPath, const std::string& outputPath,
                             bool mayStand, std::span<char> buffer) {
    BlockOfText found(buffer, kStartMarker, kEndMarker);
    const auto findIn = [&](std::string_view text) {
        found.Restart(text.size());
        for (std::span<char> room = found.Room(); !room.empty() && !text.empty();
             room = found.Room()) {
            const std::size_t count = std::min(room.size(), text.size());
            std::copy_n(text.data(), count, room.data());
            text.remove_prefix(count);
            found.Took(count);
        }
    };
    LoadedUpTo document(kComparedAtMost);
    // A document without a whole block may be one that is being saved this very moment.
    files.ReadComplete(documentPath, document, [&] {
        findIn(document.bytes());
        return document.tooLarge() || found.FoundBlock();
    });
    if (document.tooLarge()) {
        return {{}, {}, {}, true};
    }
    findIn(document.bytes());
    if (!found.FoundBlock()) {
        return {found.WhyNoBlock(), {}, {}, false};
    }
    UpgradeInMemory upgrade;
    TextSink sink(upgrade.output);
    transplant.WriteStart(sink);
    transplant.WriteBlock(sink, found.block);
    transplant.WriteRest(sink, found.block.size());
    upgrade.change.templateVersion = upgrade.output == document.bytes();
    if (mayStand && files.KindOf(outputPath) == sys::PathKind::OrdinaryFile) {
        upgrade.change.output = OutputChange::Replaced;
        try {
            // What stands is read only where its size is the output's.
            LoadedUpTo standing(upgrade.output.size());
            files.Read(outputPath, standing);
            if (!standing.tooLarge() && standing.bytes() == upgrade.output) {
                upgrade.change.output = OutputChange::Unchanged;
            }
        } catch (const FileError&) {
            // What cannot be read is replaced, as the run replaces what it cannot compare.
        }
    }
    return upgrade;
}

}  // namespace

PreparedUpgrade PrepareChangedUpgrade(const Files& files, const TemplateTransplant& transplant,
                                      const std::string& documentPath,
                                      const std::string& outputPath, bool mayStand, bool write,
                                      std::span<char> buffer) {
    const UpgradeInMemory upgrade =
        UpgradeWhole(files, transplant, documentPath, outputPath, mayStand, buffer);
    if (upgrade.tooLarge) {
        // Streamed as a run that does not compare streams it, or only read to find its block.
        PreparedUpgrade prepared;
        if (write) {
            prepared = PrepareUpgrade(files, transplant, documentPath, outputPath, buffer);
        } else {
            BlockStream stream(buffer, kStartMarker, kEndMarker);
            files.ReadComplete(documentPath, stream, [&] { return stream.FoundBlock(); });
            if (!stream.FoundBlock()) {
                prepared.passedOver = stream.WhyNoBlock();
            }
        }
        if (!prepared.passedOver && mayStand &&
            files.KindOf(outputPath) == sys::PathKind::OrdinaryFile) {
            prepared.change.output = OutputChange::Replaced;
        }
        return prepared;
    }
    if (upgrade.passedOver) {
        return {nullptr, upgrade.passedOver, {}};
    }
    PreparedUpgrade prepared{nullptr, {}, upgrade.change};
    bool rewrite = write && upgrade.change.output != OutputChange::Unchanged;
    if (write && !rewrite && files.durability() == Durability::OnDisk) {
        // What stands goes on the disk as it is: with the run's one flush at the end, or its own.
        if (files.run().flushStandingTogether) {
            files.run().standingLeftToFlush = true;
        } else {
            rewrite = !files.FlushStanding(outputPath);
        }
    }
    if (rewrite) {
        prepared.output = std::make_unique<PreparedOutput>(files, outputPath);
        prepared.output->Write(upgrade.output);
        prepared.output->Complete();
    }
    return prepared;
}

std::optional<std::set<std::string>> NamesStandingIn(const Files& files,
                                                     const std::string& outputFolder) {
    try {
        std::set<std::string> names;
        for (sys::FolderEntry& entry : files.ListEntries(outputFolder)) {
            names.insert(ComparablePath(entry.name));
        }
        return names;
    } catch (const FileError&) {
        // Where no output folder stands (a dry run's), nothing stands in it.
        return files.KindOf(outputFolder) == sys::PathKind::Nothing
                   ? std::optional(std::set<std::string>())
                   : std::nullopt;
    }
}

PreparedUpgrade PrepareUpgrade(const Files& files, const TemplateTransplant& transplant,
                               const std::string& documentPath, const std::string& outputPath,
                               std::span<char> buffer) {
    StreamedUpgrade upgrade(files, transplant, outputPath, buffer);
    // A document without a whole block may be one that is being saved this very moment.
    files.ReadComplete(documentPath, upgrade, [&] { return upgrade.FoundBlock(); });
    return upgrade.Finish(buffer);
}

}  // namespace orba
