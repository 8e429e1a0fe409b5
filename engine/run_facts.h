#pragma once

// The facts a run reports, for each front end to word: why a document or an entry is skipped, the
// input problems, what was found at an input's path, what a failure stopped.

namespace orba {

// Why a *.html document of the old-version folder is skipped (gets no upgraded copy): no start
// marker; a start marker without an end marker behind it (a damaged or half-saved map); an empty
// block; or it is the template itself.
enum class PassedOverReason { NoDataBlock, BlockCutOff, EmptyBlock, TheTemplate };

// Why an entry of the old-version folder is not looked at: a name that does not end in .html (a
// .htm file among them), a folder (not looked into), a hidden file, or anything else that is not
// an ordinary file (a device, a FIFO, a link that leads nowhere). A run through a folder tree
// also tells the folders it does not go down into: a link to a folder (a link cycle cannot loop)
// and another folder's output folder.
enum class NotLookedAtReason { OtherName, Folder, Hidden, NotAFile, LinkToFolder, OutputFolder };

// What an upgraded document's output is beside what stood at its name before the run: nothing
// (a new output), other bytes (replaced), or these very bytes, which are then not written again.
enum class OutputChange { New, Replaced, Unchanged };

struct UpgradeChange {
    OutputChange output = OutputChange::New;
    bool templateVersion = false;  // the document's bytes outside its block are the template's
};

enum class InputProblem {
    TemplateNotGiven = 1,
    TemplateNotFound = 2,
    TemplateBlockBlank = 3,
    FolderNotGiven = 4,
    FolderHasNoFiles = 5,
};

// True for the problems with the template, false for those with the old-version folder.
constexpr bool IsAboutTemplate(InputProblem problem) {
    return problem == InputProblem::TemplateNotGiven || problem == InputProblem::TemplateNotFound ||
           problem == InputProblem::TemplateBlockBlank;
}

// What the run found at the path that an input problem is about, so that no front end looks at
// the disk again to learn it.
enum class FoundAtPath {
    Nothing,             // nothing, or nothing that can be looked at
    File,                // a file (where a folder was asked for, or a template without a block)
    Folder,              // a folder (where the template was asked for)
    FolderWithoutFiles,  // a folder that holds no ordinary file
    UnreadableFolder,    // a folder that cannot be listed
};

// What a failure stopped: a run, whose earlier outputs are intact; a run that had written no
// output yet; or a dry run, which writes nothing. A dry run goes on past a document it cannot
// read, and a run that keeps going past a document it cannot read or write (RunGoesOn).
enum class Stopped { Run, RunBeforeAnyOutput, Check, CheckGoesOn, RunGoesOn };

}  // namespace orba
