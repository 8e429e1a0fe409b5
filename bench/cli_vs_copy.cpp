// Times orba-upgrade against `cp -r` of the same folder, the floor for reading and writing that
// many bytes, in wall time and in CPU time, and reports the peak memory of orba-upgrade.
//
// Usage: bench_cli_vs_copy [--corpus real|store|huge|filler] [--documents N] [--runs N]
//                          [--dir FOLDER] [--template-block KIB] [--keep yes] [--sync yes]
//
// The real corpus (the default) joins whole HTML, JavaScript and CSS files that Debian packages
// install into documents of 2 to 10 MB (bench/real_corpus.h). The store corpus is documents of 2
// to 10 MB whose data block, an embedded JSON store of real text, is 80 to 95 % of the file; the
// huge corpus one such document of 1 GB. The filler corpus is 2 MiB documents of one repeated
// line, with blocks of 1 KiB to 1 MiB and a template block of --template-block.
// Each round times a fresh run (no NewORBA), a run that replaces the outputs of the one before,
// cp -r of the old folder into a new folder, and cp -r of it again over those copies. With --sync
// yes, each round also times a fresh run with --sync against cp -r followed by sync, each after a
// sync of its own that is not timed.

#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/real_corpus.h"
#include "engine/markers.h"

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kMiB = 1024 * 1024;

struct Measurement {
    double seconds;
    double cpuSeconds;  // user and system
    long peakKiB;
};

Measurement RunAndMeasure(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& part : command) {
        argv.push_back(const_cast<char*>(part.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", command[0].c_str());
        std::exit(1);
    }
    const auto toSeconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return {elapsed.count(), toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime),
            usage.ru_maxrss};
}

// Filler that looks like a viewer page: varied ASCII and Chinese text.
std::string Filler(std::size_t size, std::mt19937& random) {
    static const std::string kLine =
        "ORBA.draw = function (node, ctx) { return ctx.measure(node.text); }; // 绘制节点\r\n";
    std::string text;
    text.reserve(size);
    while (text.size() < size) {
        text += kLine;
        text += std::to_string(random());
    }
    text.resize(size);
    return text;
}

std::string Document(std::size_t total, std::size_t block, std::mt19937& random) {
    const std::size_t frame = orba::kStartMarker.size() + orba::kEndMarker.size();
    const std::size_t outside = total > block + frame ? total - block - frame : 0;
    std::string text = Filler(outside / 2, random);
    text += orba::kStartMarker;
    text += Filler(block, random);
    text += orba::kEndMarker;
    text += Filler(outside - outside / 2, random);
    return text;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Series {
    std::vector<double> wall, cpu;
    long peakKiB = 0;
    void Add(const Measurement& m) {
        wall.push_back(m.seconds);
        cpu.push_back(m.cpuSeconds);
        peakKiB = std::max(peakKiB, m.peakKiB);
    }
};

}  // namespace

int main(int argc, char** argv) {
    int documents = -1;
    int runs = 5;
    std::string corpusKind = "real";
    bool keep = false;
    bool sync = false;
    std::size_t templateBlock = 512 * 1024;
    std::string base = fs::temp_directory_path().string();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--documents") {
            documents = std::atoi(argv[i + 1]);
        } else if (option == "--runs") {
            runs = std::atoi(argv[i + 1]);
        } else if (option == "--template-block") {
            templateBlock = static_cast<std::size_t>(std::atol(argv[i + 1])) * 1024;
        } else if (option == "--dir") {
            base = argv[i + 1];
        } else if (option == "--keep") {
            keep = std::string(argv[i + 1]) == "yes";
        } else if (option == "--sync") {
            sync = std::string(argv[i + 1]) == "yes";
        } else if (option == "--corpus") {
            corpusKind = argv[i + 1];
        }
    }

    std::string root = base + "/orba-bench-XXXXXX";
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    std::string oldFolder = root + "/old";
    std::string templatePath = root + "/template.html";
    std::size_t largest = 0;
    std::size_t templateBytes = 2 * kMiB;
    if (corpusKind == "real" || corpusKind == "store" || corpusKind == "huge") {
        const bool huge = corpusKind == "huge";
        const std::vector<std::string> roots = orba::bench::DefaultTextRoots();
        const orba::bench::Corpus corpus =
            corpusKind == "real"
                ? orba::bench::BuildRealCorpus(root, documents > 0 ? documents : 160, roots)
                : orba::bench::BuildStoreCorpus(root, huge ? 1 : (documents > 0 ? documents : 200),
                                                huge ? 1024 : 0, roots);
        largest = corpus.largestBytes;
        templateBytes = corpus.templateBytes;
        std::printf(
            "corpus: %zu documents %s, %.0f MB in all, largest %.1f MB, template %.1f MB; text "
            "from %zu files, %.0f MB, under /usr/share/{doc,javascript,nodejs}; in %s\n",
            corpus.documents.size(),
            corpusKind == "real" ? "of real text"
                                 : "whose block, a JSON store of real text, is 80 to 95 % of it",
            static_cast<double>(corpus.totalBytes) / 1e6, static_cast<double>(largest) / 1e6,
            static_cast<double>(templateBytes) / 1e6, corpus.sourceFiles,
            static_cast<double>(corpus.sourceBytes) / 1e6, root.c_str());
    } else {
        if (documents < 0) {
            documents = 1000;
        }
        fs::create_directory(oldFolder);
        std::mt19937 random(42);
        orba::bench::WriteWholeFile(Document(2 * kMiB, templateBlock, random), templatePath);
        for (int i = 0; i < documents; ++i) {
            // Data blocks spread evenly from 1 KiB to 1 MiB.
            const std::size_t block =
                1024 +
                (documents > 1 ? (kMiB - 1024) * static_cast<std::size_t>(i) / (documents - 1) : 0);
            const std::string text = Document(2 * kMiB, block, random);
            largest = std::max(largest, text.size());
            orba::bench::WriteWholeFile(text, oldFolder + "/doc" + std::to_string(i) + ".html");
        }
        std::printf(
            "corpus: %d filler documents of 2 MiB with blocks of 1 KiB to 1 MiB, template 2 MiB "
            "with a block of %zu KiB, in %s\n",
            documents, templateBlock / 1024, root.c_str());
    }

    // The corpus builder's text is given back, so that the programs forked below start small: a
    // forked child's peak memory counts what it shared with this process before exec.
    ::malloc_trim(0);

    Series fresh, replacing, copy, copyOver, synced, copySynced;
    const std::string copyFolder = root + "/copy";
    for (int run = 0; run <= runs; ++run) {  // run 0 warms the page cache and is not counted
        fs::remove_all(oldFolder + "/NewORBA");
        const Measurement first = RunAndMeasure({ORBA_UPGRADE_PATH, templatePath, oldFolder});
        const Measurement second = RunAndMeasure({ORBA_UPGRADE_PATH, templatePath, oldFolder});
        fs::remove_all(oldFolder + "/NewORBA");
        fs::remove_all(copyFolder);
        const Measurement copied = RunAndMeasure({"cp", "-r", oldFolder, copyFolder});
        const Measurement copiedOver = RunAndMeasure({"cp", "-rT", oldFolder, copyFolder});
        fs::remove_all(copyFolder);
        if (sync) {
            fs::remove_all(oldFolder + "/NewORBA");
            ::sync();
            const Measurement flushed =
                RunAndMeasure({ORBA_UPGRADE_PATH, "--sync", templatePath, oldFolder});
            fs::remove_all(oldFolder + "/NewORBA");
            ::sync();
            const Measurement copiedFlushed =
                RunAndMeasure({"sh", "-c", "cp -r \"$0\" \"$1\" && sync", oldFolder, copyFolder});
            fs::remove_all(copyFolder);
            if (run > 0) {
                synced.Add(flushed);
                copySynced.Add(copiedFlushed);
            }
        }
        if (run > 0) {
            fresh.Add(first);
            replacing.Add(second);
            copy.Add(copied);
            copyOver.Add(copiedOver);
        }
    }
    if (!keep) {
        fs::remove_all(root);
    }

    const auto report = [](const char* name, const Series& series, const Series& against) {
        const double wall = Median(series.wall);
        const double cpu = Median(series.cpu);
        std::printf("%-23s wall %.3f s (%.2f x cp), cpu %.3f s (%.2f x cp)\n", name, wall,
                    wall / Median(against.wall), cpu, cpu / Median(against.cpu));
    };
    std::printf("cp -r:                  wall %.3f s, cpu %.3f s\n", Median(copy.wall),
                Median(copy.cpu));
    std::printf("cp -r over the copies:  wall %.3f s, cpu %.3f s\n", Median(copyOver.wall),
                Median(copyOver.cpu));
    report("orba-upgrade:", fresh, copy);
    report("orba-upgrade replacing:", replacing, copyOver);
    if (sync) {
        std::printf("cp -r && sync:          wall %.3f s, cpu %.3f s\n", Median(copySynced.wall),
                    Median(copySynced.cpu));
        report("orba-upgrade --sync:", synced, copySynced);
    }
    std::printf(
        "peak RSS:               %.1f MiB (limit 64 MiB; template %.1f MiB, largest "
        "document %.1f MiB)\n",
        static_cast<double>(std::max({fresh.peakKiB, replacing.peakKiB, synced.peakKiB})) / 1024.0,
        static_cast<double>(templateBytes) / kMiB, static_cast<double>(largest) / kMiB);
    return 0;
}
