#pragma once

// What a run and a dry run share before their first document: the two inputs checked in a fixed
// order, the template read once, and the old-version folder listed once, each entry sorted out.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_facts.h"
#include "engine/run_observer.h"
#include "storage/files.h"

namespace orba {

inline constexpr std::string_view kOutputFolderName = "NewORBA";

// An input problem, and what was found at the path it is about.
struct Refusal {
    InputProblem problem;
    FoundAtPath found = FoundAtPath::Nothing;
};

struct CheckedInputs {
    std::string templatePath;
    LoadedFile templateText;
    std::string oldFolder;
};

// The first problem with the two paths as the user typed them, or none, with `inputs` filled.
// Where `filesMayBeBelow` (a run through the folder tree), a folder without files of its own is
// no problem.
std::optional<Refusal> CheckInputs(std::string_view templateBox, std::string_view folderBox,
                                   const Files& files, CheckedInputs& inputs,
                                   bool filesMayBeBelow = false);

// One folder of a run: the *.html documents to read, in the listing's order, and the folders
// below it to go into.
struct FolderListing {
    std::vector<std::string> documents;
    std::vector<std::string> folders;
};

// Every entry of `folder` in the order of its names (bytewise): those that are not documents,
// and the template lying among them, are told to `observer` at once, named by their path below
// the old-version folder (`below` is the folder's own, empty for the old-version folder itself).
// The output folder is the run's own and not told. Where `goDown`, the folders are gone into,
// but for hidden ones, links to folders and other folders' output folders, which are told.
FolderListing ListFolder(const Files& files, const CheckedInputs& inputs, const std::string& folder,
                         const std::string& below, RunObserver& observer, bool goDown);

// The old-version folder's documents, as ListFolder lists them without going down.
std::vector<std::string> DocumentsOf(const Files& files, const CheckedInputs& inputs,
                                     RunObserver& observer);

}  // namespace orba
