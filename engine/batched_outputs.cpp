#include "engine/batched_outputs.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "storage/paths.h"
#include "storage/prepared_output.h"

namespace orba {

namespace {

// The files the process keeps open for itself, and those each document prepared ahead holds at
// once (the document, its output, the folder it is named in).
constexpr std::uint64_t kKeptFree = 16;
constexpr std::uint64_t kPerDocument = 3;

// No more documents prepared ahead than the open-file limit allows, beside the run's own thread.
std::size_t WithinOpenFileLimit(std::size_t prepareAhead) {
    const std::uint64_t limit = sys::OpenFileLimit();
    const std::uint64_t documents = limit > kKeptFree ? (limit - kKeptFree) / kPerDocument : 0;
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(prepareAhead, documents > 0 ? documents - 1 : 0));
}

// Outputs that must be on the disk before their names are flushed a batch at a time: a slow
// device (a USB stick, a share) pays a flush per batch, not per document. A batch is the next
// documents up to a count and a size, each output holding its file open until it is named.
constexpr std::size_t kBatchDocuments = 256;
constexpr std::size_t kFirstBatchDocuments = 8;
constexpr std::uint64_t kBatchBytes = std::uint64_t{16} << 20;
// Where the file system keeps no unnamed files, the temporaries a killed run may leave behind:
// two batches and the documents prepared ahead.
constexpr std::size_t kNamedTemporariesAtMost = 16;
constexpr std::size_t kNamedPreparedAhead = 4;

// How a run with outputs that must be on the disk holds them in batches.
struct Batching {
    std::size_t prepareAhead = 0;
    std::size_t limit = 1;         // documents a batch holds at most
    bool wholeFileSystem = false;  // one flush of the output folder's file system reaches all
};

Batching BatchingFor(const Files& files, const std::string& outputFolder,
                     std::size_t prepareAhead) {
    if (files.durability() != Durability::OnDisk) {
        return {prepareAhead};
    }
    // Whether a killed run would leave its temporaries behind, learnt from one that leaves
    // nothing; a trial that fails says so too, and each document then meets the failure itself.
    bool named = sys::kNamedTemporariesOutliveProcess;
    if (named) {
        try {
            named = PreparedOutput(files, JoinPath(outputFolder, "trial.html")).named();
        } catch (const FileError&) {
        }
    }
    if (named) {
        prepareAhead = std::min(prepareAhead, kNamedPreparedAhead);
    }
    // Two batches are held at once: one taking its names, the next being flushed.
    const std::uint64_t limit = sys::OpenFileLimit();
    const std::uint64_t busy = kKeptFree + kPerDocument * (prepareAhead + 1);
    std::uint64_t documents =
        std::clamp<std::uint64_t>(limit > busy ? (limit - busy) / 2 : 1, 1, kBatchDocuments);
    if (named) {
        documents =
            std::min<std::uint64_t>(documents, (kNamedTemporariesAtMost - prepareAhead) / 2);
    }
    return {prepareAhead, static_cast<std::size_t>(documents),
            files.OneFlushReachesEveryFile(outputFolder)};
}

}  // namespace

BatchedOutputs::BatchedOutputs(const Files& files, std::size_t prepareAhead, bool keepGoing)
    : files_(files), prepareAhead_(WithinOpenFileLimit(prepareAhead)), keepGoing_(keepGoing) {}

// Outputs take their names, and failures are met, strictly in the order of the listing,
// however many documents are prepared ahead and flushed together. While one batch takes its
// names, the next is flushed on another thread: a slow device writes during the window's
// pauses.
void BatchedOutputs::NameAll(const std::string& outputFolder, std::size_t count,
                             const PreparedInOrder::Prepare& prepare, Handler& handler) {
    Batching batching = BatchingFor(files_, outputFolder, prepareAhead_);
    files_.run().flushStandingTogether = batching.wholeFileSystem;
    PreparedInOrder prepared(prepare, count, batching.prepareAhead);
    // A run that names one document at a time, with a pause after each (the window's),
    // begins with a small batch, so that names come soon, and doubles it with each batch,
    // so that a batch's flush takes about as long as the names of the one before. A run
    // that prepares ahead takes whole batches from the start: fewer flushes.
    std::size_t batchSize = batching.prepareAhead == 0
                                ? std::min(kFirstBatchDocuments, batching.limit)
                                : batching.limit;
    // A document that found the disk full is tried again once the outputs before it took
    // their names, and so freed the room of those they replaced, with nothing else of the run
    // held: one document at a time from then on. Alone, the failure stands.
    std::optional<Batch> previous;  // flushed on another thread, its names to come
    std::size_t next = 0;
    const auto nameInOrder = [&](Batch& batch) {
        NameInOrder(batch, handler);
        if (batch.diskFull) {
            diskFull_ = true;
            batching = {0, 1, batching.wholeFileSystem};
            batchSize = 1;
            prepared.RestartAt(next, 0);
        }
    };
    for (;;) {
        std::optional<Batch> current;
        if (next < count &&
            !(previous && ((previous->failure && !previous->goesOn) || previous->diskFull))) {
            current = Collect(prepared, next, count, batchSize, outputFolder);
            batchSize = std::min(batchSize * 2, batching.limit);
            StartFlush(*current, batching.wholeFileSystem);
        }
        if (previous) {
            nameInOrder(*previous);
            previous.reset();
        }
        if (!current) {
            if (next < count) {
                continue;
            }
            return;
        }
        if (files_.durability() == Durability::OnDisk && !diskFull_) {
            previous = std::move(current);
        } else {
            // Nothing to flush, or nothing else to hold: each document takes its name as soon
            // as it is prepared.
            nameInOrder(*current);
        }
    }
}

// Up to `limit` documents from `next` on, and no more bytes than a batch holds, nor than
// half the room left in the output folder: the batch being named holds the rest. A
// document that fails ends the batch: those before it take their names first.
BatchedOutputs::Batch BatchedOutputs::Collect(PreparedInOrder& prepared, std::size_t& next,
                                              std::size_t count, std::size_t limit,
                                              const std::string& outputFolder) {
    Batch batch;
    batch.first = next;
    std::uint64_t room = kBatchBytes;
    if (limit > 1) {
        room = std::min(room, files_.FreeSpace(outputFolder).value_or(room) / 2);
    }
    std::uint64_t bytes = 0;
    while (next < count && batch.documents.size() < limit &&
           (batch.documents.empty() || bytes < room)) {
        files_.ThrowIfStopped();
        try {
            batch.documents.push_back(prepared.Next());
        } catch (const FileError& error) {
            if (error.diskFull() && !diskFull_) {
                batch.diskFull = true;
            } else {
                batch.failure = std::current_exception();
                if (GoesOnPast(error)) {
                    batch.goesOn = true;
                    ++next;
                }
            }
            break;
        }
        ++next;
        bytes += batch.documents.back().output ? batch.documents.back().output->size() : 0;
    }
    return batch;
}

void BatchedOutputs::StartFlush(Batch& batch, bool wholeFileSystem) {
    std::vector<PreparedOutput*> outputs;
    for (PreparedUpgrade& document : batch.documents) {
        if (document.output) {
            outputs.push_back(document.output.get());
        }
    }
    if (files_.durability() == Durability::OnDisk && outputs.size() > 1) {
        try {
            batch.flushing = std::async(std::launch::async, [outputs, wholeFileSystem] {
                PreparedOutput::FlushTogether(outputs, wholeFileSystem);
            });
        } catch (const std::system_error&) {
            // No thread to be had: the batch is flushed on this one.
            PreparedOutput::FlushTogether(outputs, wholeFileSystem);
        }
    }
}

// Once the batch is on the disk, each output takes its name and is told, in order. A stop
// between two of them drops those not yet named.
void BatchedOutputs::NameInOrder(Batch& batch, Handler& handler) {
    if (batch.flushing.valid()) {
        batch.flushing.get();
    }
    for (std::size_t at = 0; at < batch.documents.size(); ++at) {
        if (at > 0) {
            files_.ThrowIfStopped();
        }
        PreparedUpgrade& document = batch.documents[at];
        if (Commit(document, batch.first + at, handler)) {
            handler.Handled(batch.first + at, document);
        }
    }
    if (batch.failure) {
        try {
            std::rethrow_exception(batch.failure);
        } catch (const FileError& error) {
            if (!batch.goesOn) {
                throw;
            }
            handler.WentOnPast(batch.first + batch.documents.size(), error);
        }
    }
}

// The output takes its name, if it has one to take; false where the run goes on past its
// failure.
bool BatchedOutputs::Commit(PreparedUpgrade& document, std::size_t index, Handler& handler) {
    if (!document.output) {
        return true;
    }
    try {
        document.output->Commit();
    } catch (const FileError& error) {
        if (!GoesOnPast(error)) {
            throw;
        }
        handler.WentOnPast(index, error);
        return false;
    }
    return true;
}

bool BatchedOutputs::GoesOnPast(const FileError& error) const {
    return keepGoing_ && (error.operation() == FileError::Operation::Read ||
                          error.operation() == FileError::Operation::Write);
}

}  // namespace orba
