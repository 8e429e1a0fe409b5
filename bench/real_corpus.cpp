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

namespace orba::bench {

namespace {

namespace fs = std::filesystem;

bool IsWebText(const fs::path& path) {
    const std::string extension = path.extension().string();
    return extension == ".html" || extension == ".htm" || extension == ".js" ||
           extension == ".css" || extension == ".mjs";
}

// The text a single-file application stores: its pages and scripts, and texts in a wiki-like
// markup (reStructuredText sources of Python's manual).
bool IsStoredText(const fs::path& path) {
    return IsWebText(path) || path.extension() == ".txt";
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
    explicit TextSource(const std::vector<std::string>& roots, bool (*wanted)(const fs::path&)) {
        std::vector<fs::path> paths;
        for (const std::string& root : roots) {
            std::error_code error;
            for (auto it = fs::recursive_directory_iterator(root, error);
                 !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
                if (it->is_regular_file() && wanted(it->path()) && it->file_size() >= 512) {
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
                names_.push_back(path.filename().string());
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

    // The next whole file and its name.
    std::pair<const std::string&, const std::string&> Next() {
        const std::size_t index = next_++ % files_.size();
        return {names_[index], files_[index]};
    }

    std::size_t files() const { return files_.size(); }
    std::size_t bytes() const { return bytes_; }

  private:
    std::vector<std::string> files_;
    std::vector<std::string> names_;
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

// `text` as a JSON string's content, with < written \\u003c as stores embedded in HTML write it.
void AppendJsonEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '<':
                out += "\\u003c";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += "\\u00";
                    out += kHex[(c >> 4) & 0xf];
                    out += kHex[c & 0xf];
                } else {
                    out += c;
                }
        }
    }
}

// A JSON store of whole files as entries, until it has about `size` bytes.
void AppendStore(std::string& text, TextSource& source, std::size_t size) {
    constexpr std::size_t kSlack = 64 * 1024;
    const std::size_t goal = text.size() + size;
    text += '[';
    std::size_t passedOver = 0;
    for (int entry = 0; text.size() < goal && passedOver < source.files(); ++entry) {
        const auto [name, content] = source.Next();
        // A file that would take the store far past its size waits for a later one.
        if (text.size() + content.size() > goal + kSlack) {
            ++passedOver;
            continue;
        }
        passedOver = 0;
        text += entry > 0 ? ",\n{\"title\":\"" : "{\"title\":\"";
        AppendJsonEscaped(text, name);
        text += "\",\"modified\":\"2024101" + std::to_string(entry % 10) + "\",\"text\":\"";
        AppendJsonEscaped(text, content);
        text += "\"}";
    }
    text += ']';
}

// An empty corpus in `root` whose text comes from `source`.
Corpus EmptyCorpus(const std::string& root, const TextSource& source) {
    Corpus corpus;
    corpus.sourceFiles = source.files();
    corpus.sourceBytes = source.bytes();
    corpus.oldFolder = root + "/old";
    corpus.templatePath = root + "/template.html";
    fs::create_directories(corpus.oldFolder);
    return corpus;
}

}  // namespace

void WriteWholeFile(const std::string& path, std::string_view bytes) {
    std::ofstream file(fs::u8path(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

Corpus BuildStoreCorpus(const std::string& root, int documents, double megabytes,
                        const std::vector<std::string>& textRoots) {
    TextSource page(textRoots, IsWebText);
    TextSource stored(textRoots, IsStoredText);
    Corpus corpus = EmptyCorpus(root, stored);

    std::mt19937 random(44);
    std::uniform_real_distribution<double> sizes(2e6, 10e6);
    std::uniform_real_distribution<double> blockShares(0.80, 0.95);
    std::uniform_real_distribution<double> headShares(0.005, 0.05);
    // The template is one more document of the same kind, made first.
    for (int i = -1; i < documents; ++i) {
        const double size = megabytes > 0 && i >= 0 ? megabytes * 1e6 : sizes(random);
        const auto block = static_cast<std::size_t>(size * blockShares(random));
        const auto head = static_cast<std::size_t>(size * headShares(random));
        std::string text;
        text.reserve(static_cast<std::size_t>(size) + (1u << 20));
        page.Append(text, head);
        text += kStartMarker;
        AppendStore(text, stored, block);
        text += kEndMarker;
        page.Append(text, static_cast<std::size_t>(size) -
                              std::min(text.size(), static_cast<std::size_t>(size)));
        const std::string path =
            i < 0 ? corpus.templatePath : corpus.oldFolder + "/图" + std::to_string(i) + ".html";
        WriteWholeFile(text, path);
        if (i < 0) {
            corpus.templateBytes = text.size();
            continue;
        }
        corpus.documents.push_back(path);
        corpus.totalBytes += text.size();
        corpus.largestBytes = std::max(corpus.largestBytes, text.size());
    }
    return corpus;
}

std::vector<std::string> RealDocumentsInMemory(std::size_t totalBytes,
                                               const std::vector<std::string>& textRoots) {
    TextSource source(textRoots, IsWebText);
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
    TextSource source(textRoots, IsWebText);
    Corpus corpus = EmptyCorpus(root, source);

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
        WriteWholeFile(text, path);
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
    WriteWholeFile(templateText, corpus.templatePath);
    corpus.templateBytes = templateText.size();
    return corpus;
}

}  // namespace orba::bench
