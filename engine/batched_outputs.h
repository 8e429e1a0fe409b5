#pragma once

// The documents of one folder prepared (the next ones ahead, on other threads, where asked) and
// their outputs named strictly in the listing's order, however many are prepared ahead and
// flushed together. What durability asks is decided here once: outputs that must be on the disk
// before their names are flushed a batch at a time, the next batch while the one before takes its
// names; others take their names as soon as they are prepared. A document that finds the disk
// full is tried again alone once the outputs before it took their names.

#include <cstddef>
#include <exception>
#include <future>
#include <string>
#include <vector>

#include "engine/document_upgrade.h"
#include "engine/prepared_in_order.h"
#include "storage/files.h"

namespace orba {

class BatchedOutputs {
  public:
    // What becomes of each document, told in the listing's order.
    class Handler {
      public:
        virtual ~Handler() = default;
        // The document's output took its name, or stands already, or it has none.
        virtual void Handled(std::size_t index, const PreparedUpgrade& document) = 0;
        // The document could not be read or written, and the run goes on past it.
        virtual void WentOnPast(std::size_t index, const FileError& error) = 0;
    };

    // `prepareAhead` is bounded by the open-file limit. With `keepGoing`, a document's failure
    // (to read it, or to write its output) is handed on and the next document follows; any other
    // failure is thrown, as every failure is without.
    BatchedOutputs(const Files& files, std::size_t prepareAhead, bool keepGoing);

    // Documents 0 to `count` - 1, each prepared by `prepare`, their outputs named in
    // `outputFolder`. Throws the failure that ends the run, and WaitEnded at a stop.
    void NameAll(const std::string& outputFolder, std::size_t count,
                 const PreparedInOrder::Prepare& prepare, Handler& handler);

  private:
    // The next documents of the listing, prepared, their outputs in temporary files.
    struct Batch {
        std::size_t first = 0;
        std::vector<PreparedUpgrade> documents;
        std::exception_ptr failure;  // of the document that ended the batch
        bool goesOn = false;         // the run goes on past it, with the document after it
        bool diskFull = false;       // the next document found no room: it is tried again alone
        std::future<void> flushing;  // last: joined before the outputs go
    };

    Batch Collect(PreparedInOrder& prepared, std::size_t& next, std::size_t count,
                  std::size_t limit, const std::string& outputFolder);
    void StartFlush(Batch& batch, bool wholeFileSystem);
    void NameInOrder(Batch& batch, Handler& handler);
    bool Commit(PreparedUpgrade& document, std::size_t index, Handler& handler);
    bool GoesOnPast(const FileError& error) const;

    const Files& files_;
    std::size_t prepareAhead_;
    bool keepGoing_;
    bool diskFull_ = false;  // a document found the disk full: one at a time from then on
};

}  // namespace orba
