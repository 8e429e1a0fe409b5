// Throughput of the per-document work: finding the data block and building the upgraded pieces.
// The marker search is measured over real text (HTML, JavaScript and CSS that Debian packages
// install, see bench/real_corpus.h), 600 MB of it, so that no document stays in a cache; the
// filler line shows the search on the text that once hid its slowness.

#include <benchmark/benchmark.h>
#include <string.h>

#include <cstring>

#include <string>
#include <vector>

#include "bench/real_corpus.h"
#include "engine/byte_search.h"
#include "engine/data_block.h"
#include "engine/document_upgrade.h"
#include "engine/markers.h"

namespace {

const std::vector<std::string>& RealDocuments() {
    static const std::vector<std::string> documents =
        orba::bench::RealDocumentsInMemory(600'000'000, orba::bench::DefaultTextRoots());
    return documents;
}

// Bytes the search looks at to find a document's block: up to the end of its end marker.
std::int64_t ScannedBytes(const std::string& text) {
    const std::size_t start = text.find(orba::kStartMarker);
    const std::size_t end = text.find(orba::kEndMarker, start + orba::kStartMarker.size());
    return static_cast<std::int64_t>(end == std::string::npos ? text.size()
                                                              : end + orba::kEndMarker.size());
}

void BM_ExtractStringBetweenRealText(benchmark::State& state) {
    const auto& documents = RealDocuments();
    std::int64_t bytes = 0;
    for (const std::string& text : documents) {
        bytes += ScannedBytes(text);
    }
    for (auto _ : state) {
        for (const std::string& text : documents) {
            benchmark::DoNotOptimize(
                orba::ExtractStringBetween(text, orba::kStartMarker, orba::kEndMarker));
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ExtractStringBetweenRealText)->Unit(benchmark::kMillisecond)->UseRealTime();

// A marker that no document holds: every byte of the corpus is scanned.
template <class Find>
void ScanWholeCorpus(benchmark::State& state, Find find) {
    const auto& documents = RealDocuments();
    const std::string absent = std::string(orba::kEndMarker) + "!";
    std::int64_t bytes = 0;
    for (const std::string& text : documents) {
        bytes += static_cast<std::int64_t>(text.size());
    }
    for (auto _ : state) {
        for (const std::string& text : documents) {
            benchmark::DoNotOptimize(find(text, absent));
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_FindBytesWholeRealCorpus(benchmark::State& state) {
    ScanWholeCorpus(state, [](const std::string& text, const std::string& needle) {
        return orba::FindBytes(text, needle, 0);
    });
}
BENCHMARK(BM_FindBytesWholeRealCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemmemWholeRealCorpus(benchmark::State& state) {
    ScanWholeCorpus(state, [](const std::string& text, const std::string& needle) {
        return ::memmem(text.data(), text.size(), needle.data(), needle.size());
    });
}
BENCHMARK(BM_MemmemWholeRealCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();

// The search as a run makes it: over one buffer of real text that stays in the cache, for a
// marker that is not there.
void SearchInCache(benchmark::State& state) {
    const std::string& text = RealDocuments().front();
    const std::string_view buffer(text.data(), orba::kReadBufferSize);
    const std::string absent = std::string(orba::kEndMarker) + "!";
    for (auto _ : state) {
        benchmark::DoNotOptimize(orba::FindBytes(buffer, absent, 0));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buffer.size()));
}
BENCHMARK(SearchInCache);

// A block made to defeat the filter: the end marker with one byte changed, again and again, so
// that every copy passes the filter and is compared whole.
void SearchDefeatedFilter(benchmark::State& state) {
    std::string nearMiss(orba::kEndMarker);
    nearMiss.back() = '?';
    std::string buffer;
    while (buffer.size() < orba::kReadBufferSize) {
        buffer += nearMiss;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(orba::FindBytes(buffer, orba::kEndMarker, 0));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buffer.size()));
}
BENCHMARK(SearchDefeatedFilter);

// The densest candidates a filter on two bytes can be given: runs of each filter byte, as long
// as their distance in the marker, one after the other, so that half of all positions pass.
void SearchDensestCandidates(benchmark::State& state) {
    const std::string_view marker = orba::kEndMarker;
    const std::size_t first = marker.find('!');
    const std::size_t second = marker.find('_');
    const std::size_t distance = second - first;
    std::string buffer;
    while (buffer.size() < orba::kReadBufferSize) {
        buffer += std::string(distance, '!') + std::string(distance, '_');
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(orba::FindBytes(buffer, marker, 0));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buffer.size()));
}
BENCHMARK(SearchDensestCandidates);

std::string FillerDocument(std::size_t before, std::size_t block) {
    return std::string(before, 'v') + std::string(orba::kStartMarker) + std::string(block, 'd') +
           std::string(orba::kEndMarker) + std::string(1024, 'v');
}

void BM_ExtractStringBetweenFiller(benchmark::State& state) {
    const std::string text = FillerDocument(2 * 1024 * 1024, 512 * 1024);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            orba::ExtractStringBetween(text, orba::kStartMarker, orba::kEndMarker));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ExtractStringBetweenFiller);

// What the writer of an output costs beyond the writes themselves: a sink that only counts.
class CountingSink final : public orba::UpgradeSink {
  public:
    void Write(std::string_view bytes) override { written += bytes.size(); }
    void Repeat(std::uint64_t /*offset*/, std::uint64_t length) override { written += length; }
    std::uint64_t written = 0;
};

void BM_TransplantWriter(benchmark::State& state) {
    const std::string text = FillerDocument(2 * 1024 * 1024, 64 * 1024);
    orba::TemplateTransplant transplant(text, orba::kStartMarker, orba::kEndMarker);
    const std::string oldBlock(256 * 1024, 'o');
    for (auto _ : state) {
        CountingSink sink;
        transplant.WriteStart(sink);
        transplant.WriteBlock(sink, oldBlock);
        transplant.WriteRest(sink, oldBlock.size());
        benchmark::DoNotOptimize(sink.written);
    }
}
BENCHMARK(BM_TransplantWriter);

}  // namespace

namespace {
// The floor: one pass over the corpus that looks at every byte and finds nothing.
void BM_MemchrWholeRealCorpus(benchmark::State& state) {
    ScanWholeCorpus(state, [](const std::string& text, const std::string&) {
        return std::memchr(text.data(), '\x01', text.size());
    });
}
BENCHMARK(BM_MemchrWholeRealCorpus)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace
