// Times orba-upgrade on a generated corpus against `cp -r` of the same folder, the floor for
// reading and writing that many bytes, and reports the peak memory of orba-upgrade.
//
// Usage: bench_cli_vs_copy [--documents N] [--runs N] [--dir FOLDER] [--template-block KIB]
//
// Each output is the template with one document's block in place of the template's own, so its
// size is template - template block + document block. With the template's block at the median of
// the documents' blocks (512 KiB, the default) the outputs hold as many bytes as the documents,
// and cp -r of the folder is a fair floor; a smaller template block makes the outputs larger.

#include <fcntl.h>
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

#include "engine/markers.h"
#include "storage/utf8_file.h"

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kMiB = 1024 * 1024;

struct Measurement {
    double seconds;
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
    return {elapsed.count(), usage.ru_maxrss};
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

}  // namespace

int main(int argc, char** argv) {
    int documents = 1000;
    int runs = 5;
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
        }
    }

    std::string root = base + "/orba-bench-XXXXXX";
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string oldFolder = root + "/old";
    const std::string templatePath = root + "/template.html";
    fs::create_directory(oldFolder);

    std::mt19937 random(42);
    orba::SaveAsUTF8(Document(2 * kMiB, templateBlock, random), templatePath);
    std::size_t largest = 0;
    for (int i = 0; i < documents; ++i) {
        // Data blocks spread evenly from 1 KiB to 1 MiB.
        const std::size_t block =
            1024 +
            (documents > 1 ? (kMiB - 1024) * static_cast<std::size_t>(i) / (documents - 1) : 0);
        const std::string text = Document(2 * kMiB, block, random);
        largest = std::max(largest, text.size());
        orba::SaveAsUTF8(text, oldFolder + "/doc" + std::to_string(i) + ".html");
    }
    std::printf(
        "corpus: %d documents of 2 MiB with blocks of 1 KiB to 1 MiB, template 2 MiB with a "
        "block of %zu KiB, in %s\n",
        documents, templateBlock / 1024, root.c_str());

    std::vector<double> upgradeTimes;
    std::vector<double> copyTimes;
    long peakKiB = 0;
    for (int run = 0; run <= runs; ++run) {  // run 0 warms the page cache and is not counted
        fs::remove_all(oldFolder + "/NewORBA");
        const Measurement upgrade = RunAndMeasure({ORBA_UPGRADE_PATH, templatePath, oldFolder});
        fs::remove_all(oldFolder + "/NewORBA");
        fs::remove_all(root + "/copy");
        const Measurement copy = RunAndMeasure({"cp", "-r", oldFolder, root + "/copy"});
        fs::remove_all(root + "/copy");
        if (run > 0) {
            upgradeTimes.push_back(upgrade.seconds);
            copyTimes.push_back(copy.seconds);
            peakKiB = std::max(peakKiB, upgrade.peakKiB);
        }
    }
    fs::remove_all(root);

    const double upgradeMedian = Median(upgradeTimes);
    const double copyMedian = Median(copyTimes);
    const double limitMiB = 3.0 * static_cast<double>(2 * kMiB + largest) / kMiB + 16.0;
    std::printf("orba-upgrade median: %.3f s\n", upgradeMedian);
    std::printf("cp -r median:        %.3f s\n", copyMedian);
    std::printf("ratio:               %.2f (target at most 1.30)\n", upgradeMedian / copyMedian);
    std::printf("peak RSS:            %.1f MiB (target at most %.1f MiB)\n",
                static_cast<double>(peakKiB) / 1024.0, limitMiB);
    return 0;
}
