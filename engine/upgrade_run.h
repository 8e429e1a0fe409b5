#pragma once

// The upgrade run: checks the template path and the old-version folder, then writes, for every
// *.html document of that folder with a data block, the template with the document's data block
// into the folder's NewORBA subfolder.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/run_facts.h"
#include "engine/run_observer.h"
#include "storage/files.h"

namespace orba {

enum class RunOutcome {
    Completed,  // every document was handled and the closing entries were written
    Refused,    // an input problem was told; nothing was created
    Failed,     // a file-system failure was shown; outputs written before it are complete
    Stopped,    // a stop was asked for; outputs written before it are complete
};

struct RunResult {
    RunOutcome outcome;
    std::uint64_t upgraded = 0;
    // Documents that a dry run could not read, or a run that keeps going could not read or
    // write, each one told; the outcome is then Failed.
    std::uint64_t failed = 0;
    std::uint64_t folders = 0;  // folders whose documents were handled
};

// How a run goes about its work; by default as the window's run.
struct RunOptions {
    // The following documents prepared on other threads while one takes its place; the events,
    // the outputs and the failures stay as without.
    std::size_t prepareAhead = 0;
    // FOLDER and every folder below it, depth first in the listing's order, each as a run on it
    // alone, and only those with documents in them; not gone into: hidden folders, links to
    // folders, output folders. Documents are named by their path below FOLDER.
    bool recursive = false;
    // Past a document that cannot be read or written: told (Stopped::RunGoesOn), and the run
    // goes on; it ends with outcome Failed. A failure of a folder still ends the run.
    bool keepGoing = false;
    // Each output compared with what stands at its name (Changed): the same bytes are not
    // written again.
    bool compare = false;
};

// `templateBox` and `folderBox` are the two paths exactly as the user typed them. What happens is
// told to `observer`; every failure, of a file or of anything else, ends the run with outcome
// Failed. A stop requested through `files` ends it with outcome Stopped, between two steps.
// `options` say how it goes about its work (by default as the window's run does).
RunResult RunUpgrade(std::string_view templateBox, std::string_view folderBox,
                     RunObserver& observer, const Files& files, const RunOptions& options = {});

// A dry run: the same plan as a run's, told alike, then each *.html document of the folder, in
// the order of a run, told to `observer` as one that would be upgraded (Changed, as a run that
// compares would change its output) or skipped (PassedOver). Writes
// nothing and creates no output folder, but tries that the output folder could be made or
// written into. The count is of the documents that would be upgraded. A document that cannot be
// read is told (Stopped::CheckGoesOn) and the check goes on, to find every such document in one
// go; the outcome is then Failed. An output folder that could not be written stops the check. Of
// `options`, the tree counts.
RunResult CheckUpgrade(std::string_view templateBox, std::string_view folderBox,
                       RunObserver& observer, const Files& files, const RunOptions& options = {});

}  // namespace orba
