#pragma once

// What a run and a dry run tell as they go: facts only, names and paths as they are. Each front
// end words them. A run is stopped through the stop token of the `Files` it is handed, and waits
// for held files through that `Files`' waiter.

#include <cstdint>
#include <string_view>

#include "engine/run_facts.h"
#include "storage/file_error.h"

namespace orba {

// Every event has a default that ignores it. An event that throws FileError (the command line's
// log cannot be written) stops the run as a file failure would.
class RunObserver {
  public:
    virtual ~RunObserver() = default;

    // An input problem ended the run before anything was made; what was found at its path.
    virtual void Refused(InputProblem /*problem*/, FoundAtPath /*found*/) {}

    // The folder's entries are sorted out: `documents` *.html documents will be read. Entries
    // not looked at and the template lying among them have been told before this.
    virtual void Started(std::uint64_t /*documents*/) {}
    // An entry of the folder that is not a document, told in the listing's order.
    virtual void NotLookedAt(std::string_view /*name*/, NotLookedAtReason /*reason*/) {}
    // A document that gets no upgraded copy.
    virtual void PassedOver(std::string_view /*name*/, PassedOverReason /*reason*/) {}
    // The output of document `name` has its name: the `number`-th of the run.
    virtual void Upgraded(std::string_view /*name*/, std::uint64_t /*number*/) {}
    // Just before Upgraded, in a run that compares each output with what stands at its name, and
    // in a dry run, where it tells a document that would be upgraded: what the output changes
    // there.
    virtual void Changed(std::string_view /*name*/, UpgradeChange /*change*/) {}
    // `done` of the `total` documents handled, after each of them.
    virtual void Handled(std::uint64_t /*done*/, std::uint64_t /*total*/) {}

    // The file system refused to flush `folder`'s names (it keeps none of its own to flush), for
    // `reason` in the system's words; the run goes on.
    virtual void FolderFlushRefused(std::string_view /*folder*/, std::string_view /*reason*/) {}
    // Every document was handled: `upgraded` outputs in `outputFolder`, their names on the disk
    // where the run flushes.
    virtual void Completed(std::string_view /*outputFolder*/, std::uint64_t /*upgraded*/) {}

    // A file failure stopped the run, or the dry run, which goes on past a document it could
    // not read (Stopped::CheckGoesOn), or the run that keeps going past a document it could not
    // read or write (Stopped::RunGoesOn).
    virtual void Failed(const FileError& /*error*/, Stopped /*stopped*/) {}
    // A failure that is not a file's (out of memory, say), with the C++ library's description.
    virtual void FailedUnexpectedly(std::string_view /*description*/, Stopped /*stopped*/) {}
};

}  // namespace orba
