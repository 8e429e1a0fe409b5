#include "bench/real_corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "engine/markers.h"
#include "storage/utf8_file.h"

namespace orba::bench {

namespace {

namespace fs = std::filesystem;

bool IsWebText(const fs::path& path) {
    const std::string extension = path.extension().string();
    return extension == ".html" || extension == ".htm" || extension == ".js" ||
           extension == ".css" || extension == ".mjs";
}

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Whole real files, one after another, round and round: each piece of text is a file as it
// stands.
class TextSource {
  public:
    explicit TextSource(const std::vector<std::string>& roots) {
        std::vector<fs::path> paths;
        for (const std::string& root : roots) {
            std::error_code error;
            for (auto it = fs::recursive_directory_iterator(root, error);
                 !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
                if (it->is_regular_file() && IsWebText(it->path()) && it->file_size() >= 512) {
                    paths.push_back(it->path());
                }
            }
        }
        std::sort(paths.begin(), paths.end());
        std::shuffle(paths.begin(), paths.end(), std::mt19937(5));
        for (const fs::path& path : paths) {
            std::string text = ReadWhole(path);
            if (text.find(kStartMarker) == std::string::npos &&
                text.find(kEndMarker) == std::string::npos) {
                bytes_ += text.size();
                files_.push_back(std::move(text));
            }
        }
        if (bytes_ < 16u << 20) {
            throw std::runtime_error(
                "too little real text under the text folders: run tools/bench.sh");
        }
    }

    // Whole files appended to `text` until it has grown by about `size` bytes: a file that does
    // not fit in what is left (give or take 16 KiB) is passed over for a later one.
    void Append(std::string& text, std::size_t size) {
        constexpr std::size_t kSlack = 16 * 1024;
        const std::size_t goal = text.size() + size;
        for (std::size_t tries = 0; text.size() < goal && tries < files_.size(); ++tries) {
            const std::string& file = files_[next_++ % files_.size()];
            if (text.size() + file.size() <= goal + kSlack) {
                text += file;
            }
        }
    }

    std::size_t files() const { return files_.size(); }
    std::size_t bytes() const { return bytes_; }

  private:
    std::vector<std::string> files_;
    std::size_t bytes_ = 0;
    std::size_t next_ = 0;
};

std::string Document(TextSource& source, std::size_t size, std::size_t block) {
    std::string text;
    text.reserve(size + (1u << 20));
    const std::size_t outside = size > block ? size - block : 0;
    source.Append(text, outside / 2);
    text += kStartMarker;
    source.Append(text, block);
    text += kEndMarker;
    source.Append(text, outside - outside / 2);
    return text;
}

}  // namespace

std::vector<std::string> RealDocumentsInMemory(std::size_t totalBytes,
                                               const std::vector<std::string>& textRoots) {
    TextSource source(textRoots);
    std::mt19937 random(43);
    std::uniform_real_distribution<double> sizes(2e6, 10e6);
    std::uniform_real_distribution<double> blockShares(std::log(0.001), std::log(0.9));
    std::vector<std::string> documents;
    std::size_t total = 0;
    while (total < totalBytes) {
        const auto size = static_cast<std::size_t>(sizes(random));
        const auto block =
            static_cast<std::size_t>(static_cast<double>(size) * std::exp(blockShares(random)));
        documents.push_back(Document(source, size, block));
        total += documents.back().size();
    }
    return documents;
}

std::vector<std::string> DefaultTextRoots() {
    return {"/usr/share/doc", "/usr/share/javascript", "/usr/share/nodejs"};
}

Corpus BuildRealCorpus(const std::string& root, int documents,
                       const std::vector<std::string>& textRoots) {
    TextSource source(textRoots);
    Corpus corpus;
    corpus.sourceFiles = source.files();
    corpus.sourceBytes = source.bytes();
    corpus.oldFolder = root + "/old";
    corpus.templatePath = root + "/template.html";
    fs::create_directories(corpus.oldFolder);

    constexpr double kMB = 1e6;
    std::mt19937 random(42);
    std::uniform_real_distribution<double> sizes(2 * kMB, 10 * kMB);
    std::uniform_real_distribution<double> blockShares(std::log(0.001), std::log(0.9));
    std::vector<std::size_t> documentSizes;
    std::vector<std::size_t> blockSizes;
    for (int i = 0; i < documents; ++i) {
        const auto size = static_cast<std::size_t>(sizes(random));
        // Block shares spread evenly on a log scale: a few KiB up to nine tenths of the document.
        const auto block =
            static_cast<std::size_t>(static_cast<double>(size) * std::exp(blockShares(random)));
        const std::string text = Document(source, size, block);
        const std::string path = corpus.oldFolder + "/图" + std::to_string(i) + ".html";
        SaveAsUTF8(text, path);
        corpus.documents.push_back(path);
        corpus.totalBytes += text.size();
        corpus.largestBytes = std::max(corpus.largestBytes, text.size());
        documentSizes.push_back(text.size());
        blockSizes.push_back(block);
    }
    // The template: a document of the median size with a block of the median size.
    std::nth_element(documentSizes.begin(), documentSizes.begin() + documents / 2,
                     documentSizes.end());
    std::nth_element(blockSizes.begin(), blockSizes.begin() + documents / 2, blockSizes.end());
    const std::string templateText =
        Document(source, documentSizes[documents / 2], blockSizes[documents / 2]);
    SaveAsUTF8(templateText, corpus.templatePath);
    corpus.templateBytes = templateText.size();
    return corpus;
}

}  // namespace orba::bench
