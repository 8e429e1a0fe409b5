// The data block found in a document read in chunks is exactly the one found in the whole text:
// markers split at every offset across a chunk edge, blocks spanning many chunks, documents that
// end inside a part of a marker, near-misses, each checked against ExtractStringBetween.

#include "engine/block_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/data_block.h"
#include "engine/markers.h"

namespace orba {
namespace {

// Keeps the block's bytes as they are handed on.
class Collector final : public BlockStream {
  public:
    explicit Collector(std::span<char> buffer) : BlockStream(buffer, kStartMarker, kEndMarker) {}
    std::string bytes;

  private:
    void OnRestart() override { bytes.clear(); }
    void OnBlockBytes(std::string_view more) override { bytes += more; }
};

// Reads `text` into a stream with a buffer of `bufferSize` bytes, as Files::Read hands a file
// over: each read fills at most the room the stream gives, and at most the next of `limits`.
struct ChunkedRead {
    ChunkedRead(std::size_t bufferSize, std::string_view text, std::vector<std::size_t> limits)
        : buffer(bufferSize), stream(buffer) {
        stream.Restart(text.size());
        std::size_t offset = 0;
        for (std::size_t k = 0; offset < text.size(); ++k) {
            const std::span<char> room = stream.Room();
            if (room.empty()) {
                break;
            }
            const std::size_t limit = k < limits.size() ? limits[k] : room.size();
            const std::size_t count = std::min({room.size(), text.size() - offset, limit});
            std::memcpy(room.data(), text.data() + offset, count);
            stream.Took(count);
            offset += count;
            ++reads;
        }
    }

    std::vector<char> buffer;
    Collector stream;
    int reads = 0;
};

// The stream agrees with the whole-text search: the same block, found or not.
void ExpectSameBlock(const ChunkedRead& read, std::string_view text) {
    const std::string_view expected = ExtractStringBetween(text, kStartMarker, kEndMarker);
    EXPECT_EQ(read.stream.FoundBlock(), !expected.empty());
    if (read.stream.FoundBlock()) {
        EXPECT_EQ(read.stream.bytes, expected);
        EXPECT_EQ(read.stream.blockSize(), expected.size());
    }
}

const std::string kText =
    "<html>" + std::string(kStartMarker) + "{\"图\":\"旧\"}" + std::string(kEndMarker) + "</html>";

TEST(BlockStreamTest, MarkersSplitAtEveryOffsetAcrossAChunkEdge) {
    for (std::size_t cut = 1; cut < kText.size(); ++cut) {
        SCOPED_TRACE("chunk edge at " + std::to_string(cut));
        const ChunkedRead read(4096, kText, {cut});
        ExpectSameBlock(read, kText);
        EXPECT_TRUE(read.stream.FoundBlock());
    }
}

TEST(BlockStreamTest, DocumentEndingAnywhereGivesTheBlockOfWhatItHolds) {
    // Ends inside the start marker, inside the block, inside the end marker, and behind it.
    for (std::size_t size = 0; size <= kText.size(); ++size) {
        SCOPED_TRACE("document of " + std::to_string(size) + " bytes");
        const std::string text = kText.substr(0, size);
        ExpectSameBlock(ChunkedRead(100, text, {}), text);
        ExpectSameBlock(ChunkedRead(100, text, std::vector<std::size_t>(size, 1)), text);
    }
}

TEST(BlockStreamTest, BlockSpanningManyChunksIsHandedOnWhole) {
    std::string block;
    for (int i = 0; block.size() < 100000; ++i) {
        block += "节点" + std::to_string(i) + "</div>  <!-- " + std::string(kStartMarker);
    }
    const std::string text = "前" + std::string(kStartMarker) + block + std::string(kEndMarker) +
                             "后" + std::string(kEndMarker);
    const ChunkedRead read(100, text, {});
    ExpectSameBlock(read, text);
    EXPECT_GT(read.reads, 1000) << "the block passed through the small buffer";
}

TEST(BlockStreamTest, ReadingStopsAtTheEndMarker) {
    const std::string text = kText + std::string(1 << 20, 'x');
    const ChunkedRead read(4096, text, {});
    EXPECT_TRUE(read.stream.FoundBlock());
    EXPECT_EQ(read.reads, 1);
}

TEST(BlockStreamTest, RandomDocumentsOfMarkerFragmentsAgreeWithTheWholeTextSearch) {
    // Near-misses: markers cut short, with one byte changed, repeated, adjacent.
    const std::string start(kStartMarker);
    const std::string end(kEndMarker);
    std::string nearEnd = end;
    nearEnd[10] = '!';
    const std::vector<std::string> pieces = {
        start, end, nearEnd, start.substr(0, 20), end.substr(0, 40), end.substr(1), "数据", "x"};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            text += pieces[random() % pieces.size()];
        }
        std::vector<std::size_t> limits;
        for (int i = 0; i < 64; ++i) {
            limits.push_back(1 + random() % 97);
        }
        SCOPED_TRACE("round " + std::to_string(round));
        ExpectSameBlock(ChunkedRead(2 * kEndMarker.size() + 1 + random() % 60, text, limits), text);
    }
}

TEST(BlockStreamTest, NewPassStartsAfresh) {
    std::vector<char> buffer(4096);
    Collector stream(buffer);
    stream.Restart(0);
    const std::string first = std::string(kStartMarker) + "前一次" + std::string(100, '-');
    std::memcpy(stream.Room().data(), first.data(), first.size());
    stream.Took(first.size());
    ASSERT_TRUE(stream.bytes.starts_with("前一次"));
    stream.Restart(0);
    std::memcpy(stream.Room().data(), kText.data(), kText.size());
    stream.Took(kText.size());
    EXPECT_TRUE(stream.FoundBlock());
    EXPECT_EQ(stream.bytes, "{\"图\":\"旧\"}");
}

TEST(BlockStreamTest, BufferTooSmallForTheMarkersIsRefused) {
    std::vector<char> buffer(2 * kEndMarker.size());
    EXPECT_THROW(Collector stream(buffer), std::invalid_argument);
}

}  // namespace
}  // namespace orba
