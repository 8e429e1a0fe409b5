// Times runs as the window makes them (a 5 ms pause after each document) over the store corpus,
// with each output flushed to the disk before it takes its name, as the window writes them, and
// left to the system, as the command line does without --sync.
//
// Usage: bench_window_flush [--documents N] [--runs N]
//        bench_window_flush --template FILE --folder DIR    (one flushed run over DIR, timed)

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/options.h"
#include "bench/real_corpus.h"
#include "engine/upgrade_run.h"
#include "ui/my_sleep.h"

namespace {

// The window's side of a run, without a window: the pause after each document.
class PausingObserver final : public orba::RunObserver {
  public:
    void Upgraded(std::string_view /*name*/, std::uint64_t /*number*/) override {
        orba::ui::MySleep(5, [] {});
    }
    void Failed(const orba::FileError& error, orba::Stopped /*stopped*/) override {
        std::fprintf(stderr, "%s\n", error.what());
    }
};

double TimedRun(const std::string& templatePath, const std::string& oldFolder,
                orba::Durability durability) {
    std::filesystem::remove_all(oldFolder + "/NewORBA");
    ::sync();  // nothing of the last run left for this one to write out
    PausingObserver observer;
    const auto start = std::chrono::steady_clock::now();
    const orba::RunResult result = orba::RunUpgrade(
        templatePath, oldFolder, observer, orba::Files(orba::sys::TheSystem(), durability));
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (result.outcome != orba::RunOutcome::Completed) {
        std::exit(1);
    }
    return elapsed.count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = orba::bench::OptionPairs(argc, argv);
    if (options.contains("--folder")) {  // a folder of the caller's, on a device of its choosing
        std::printf("%.3f\n", TimedRun(options.at("--template"), options.at("--folder"),
                                       orba::Durability::OnDisk));
        return 0;
    }
    const int documents =
        options.contains("--documents") ? std::stoi(options.at("--documents")) : 200;
    const int runs = options.contains("--runs") ? std::stoi(options.at("--runs")) : 5;
    std::string root = (std::filesystem::temp_directory_path() / "orba-flush-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) {
        return 1;
    }
    const orba::bench::Corpus corpus =
        orba::bench::BuildStoreCorpus(root, documents, 0, orba::bench::DefaultTextRoots());
    std::printf("store corpus: %zu documents, %.0f MB in all\n", corpus.documents.size(),
                static_cast<double>(corpus.totalBytes) / 1e6);
    std::vector<double> flushed, unflushed;
    for (int run = 0; run <= runs; ++run) {  // run 0 warms the page cache and is not counted
        const double withFlush =
            TimedRun(corpus.templatePath, corpus.oldFolder, orba::Durability::OnDisk);
        const double without =
            TimedRun(corpus.templatePath, corpus.oldFolder, orba::Durability::Written);
        if (run > 0) {
            flushed.push_back(withFlush);
            unflushed.push_back(without);
        }
    }
    std::filesystem::remove_all(root);
    const double pauses = static_cast<double>(corpus.documents.size()) * 0.005;
    std::printf(
        "flushed (as the window): %.2f s; left to the system: %.2f s; ratio %.2f; the "
        "pauses alone %.2f s\n",
        Median(flushed), Median(unflushed), Median(flushed) / Median(unflushed), pauses);
    return 0;
}
