#pragma once

// What a run and a dry run share before their first document: the two inputs checked in a fixed
// order, the template read once, and the old-version folder listed once, each entry sorted out.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_block.h"
#include "engine/run_facts.h"
#include "engine/run_observer.h"
#include "storage/files.h"

namespace orba {

inline constexpr std::string_view kOutputFolderName = "NewORBA";

struct CheckedInputs {
    std::string templatePath;
    LoadedFile templateText;
    std::string oldFolder;
};

// Whether a run must make the output folder `outputFolder` of `oldFolder`: not where a folder
// (or a link to one) stands. Throws FileError where anything else stands at that name, or where
// it is the old-version folder itself (a link to it, another mount of it).
bool OutputFolderMustBeMade(const Files& files, const std::string& oldFolder,
                            const std::string& outputFolder);

// Whether a run could make the output folder and write into it, tried with a temporary file that
// leaves nothing; throws FileError as the run would fail.
void CheckOutputsCanBeWritten(const Files& files, const std::string& oldFolder,
                              const std::string& outputFolder);

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

// A folder whose documents a run handles.
struct PlannedFolder {
    std::string path;
    std::string below;  // its path below the old-version folder, empty for that folder itself
    std::string outputFolder;

    // A document's name as told: its path below the old-version folder.
    std::string Named(const std::string& document) const;
};

// What a run and a dry run do with each folder of the plan.
class FolderSteps {
  public:
    // The folder's output folder seen to, then its documents, which `documents` lists, each put
    // into the template through `transplant`.
    virtual void Folder(const TemplateTransplant& transplant, const PlannedFolder& folder,
                        const std::function<std::vector<std::string>()>& documents) = 0;
    // A folder below the old-version folder that cannot be listed: throws where that ends the run.
    virtual void Unlisted(const FileError& error) = 0;

  protected:
    ~FolderSteps() = default;
};

// A run or a dry run from its start: the two paths as the user typed them checked, the first
// problem told to `observer` (Refused) and false returned; else the template read once, and the
// folders of the run handed to `steps` in its order. The old-version folder alone has its output
// folder seen to before it is listed. Through the folder tree (`recursive`), where a folder
// without files of its own is no problem, a folder is listed first, depth first in the listing's
// order, and handed on only where it holds documents. A stop is looked at before each folder.
bool FollowPlan(std::string_view templateBox, std::string_view folderBox, const Files& files,
                RunObserver& observer, bool recursive, FolderSteps& steps);

}  // namespace orba
