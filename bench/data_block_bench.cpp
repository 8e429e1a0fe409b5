// Throughput of the per-document work: finding the data block and building the upgraded pieces.

#include <benchmark/benchmark.h>

#include <string>

#include "engine/data_block.h"
#include "engine/markers.h"

namespace {

std::string Document(std::size_t before, std::size_t block) {
    return std::string(before, 'v') + std::string(orba::kStartMarker) + std::string(block, 'd') +
           std::string(orba::kEndMarker) + std::string(1024, 'v');
}

void BM_ExtractStringBetween(benchmark::State& state) {
    const std::string text = Document(2 * 1024 * 1024, 512 * 1024);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            orba::ExtractStringBetween(text, orba::kStartMarker, orba::kEndMarker));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ExtractStringBetween);

void BM_TransplantPieces(benchmark::State& state) {
    const std::string text = Document(2 * 1024 * 1024, 64 * 1024);
    orba::TemplateTransplant transplant(text, orba::kStartMarker, orba::kEndMarker);
    const std::string oldBlock(256 * 1024, 'o');
    for (auto _ : state) {
        benchmark::DoNotOptimize(transplant.PiecesWith(oldBlock).size());
    }
}
BENCHMARK(BM_TransplantPieces);

}  // namespace
