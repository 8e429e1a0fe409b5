#pragma once

// A benchmark corpus made of real text: old documents and a template joined from whole HTML,
// JavaScript and CSS files that Debian packages install (tools/bench.sh installs the packages),
// never from a short string repeated. Sizes as real documents have them: 2 to 10 MB, data blocks
// from a few KiB to most of the document.

#include <cstddef>
#include <string>
#include <vector>

namespace orba::bench {

struct Corpus {
    std::string templatePath;
    std::string oldFolder;
    std::vector<std::string> documents;  // paths
    std::size_t totalBytes = 0;
    std::size_t largestBytes = 0;
    std::size_t templateBytes = 0;
    std::size_t sourceFiles = 0;  // distinct real files the text comes from
    std::size_t sourceBytes = 0;
};

// Writes `bytes` as the whole file at `path`; throws std::runtime_error where it cannot.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// Writes `documents` documents and a template into `root`/old and `root`/template.html, with
// text from the files under `textRoots`. The same arguments give the same corpus.
Corpus BuildRealCorpus(const std::string& root, int documents,
                       const std::vector<std::string>& textRoots);

// Documents of single-file applications whose data block is most of the file: `documents` of 2
// to 10 MB (or each of `megabytes`, when above 0), the block an embedded JSON store of whole real
// files (pages, scripts, texts in wiki-like markup, JSON-escaped) taking 80 to 95 % of the
// document and starting in its first 5 %; the template is one more of the same kind.
Corpus BuildStoreCorpus(const std::string& root, int documents, double megabytes,
                        const std::vector<std::string>& textRoots);

// Documents made the same way, kept in memory, until they hold at least `totalBytes`.
std::vector<std::string> RealDocumentsInMemory(std::size_t totalBytes,
                                               const std::vector<std::string>& textRoots);

// The folders that tools/bench.sh fills with real text.
std::vector<std::string> DefaultTextRoots();

}  // namespace orba::bench
