#include "engine/run_plan.h"

#include <algorithm>

#include "engine/data_block.h"
#include "engine/listing.h"
#include "engine/markers.h"
#include "engine/text.h"
#include "storage/paths.h"
#include "storage/prepared_output.h"

namespace orba {

namespace {

constexpr std::string_view kDocumentPattern = "*.html";

// The template itself, lying in the old-version folder, is not upgraded. The names must agree
// without regard to letter case and name the very same file: on a file system where case tells
// files apart, Tpl.html and tpl.html are two documents.
bool IsTheTemplate(const Files& files, const std::string& documentPath,
                   const std::string& templatePath) {
    return ComparablePath(TrimSpaces(documentPath)) == ComparablePath(TrimSpaces(templatePath)) &&
           files.IsSameFile(documentPath, templatePath);
}

// A path pasted with the double quotes that Windows' "Copy as path" puts around it: the quotes go
// when the quoted path names nothing, as they cannot be part of a Windows name; on POSIX a name
// that holds them is taken as it stands.
std::string Unquoted(std::string_view path, const Files& files) {
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"' &&
        files.KindOf(std::string(path)) == sys::PathKind::Nothing) {
        path = path.substr(1, path.size() - 2);
    }
    return std::string(path);
}

// The output folder among the old-version folder's entries: the run's own, not accounted for.
bool IsOutputFolder(const sys::FolderEntry& entry) {
    return entry.folder && (kNativePathStyle.hasDriveLetters
                                ? AsciiLower(entry.name) == AsciiLower(kOutputFolderName)
                                : entry.name == kOutputFolderName);
}

// The two paths checked in a fixed order, `inputs` filled: the first problem is told to
// `observer` with what was found at its path, and false returned.
bool CheckInputs(std::string_view templateBox, std::string_view folderBox, const Files& files,
                 RunObserver& observer, CheckedInputs& inputs, bool filesMayBeBelow) {
    const auto refuse = [&](InputProblem problem, FoundAtPath found = FoundAtPath::Nothing) {
        observer.Refused(problem, found);
        return false;
    };
    inputs.templatePath = Unquoted(TrimSpaces(templateBox), files);
    if (inputs.templatePath.empty()) {
        return refuse(InputProblem::TemplateNotGiven);
    }
    if (!FileExists(inputs.templatePath, files)) {
        // A folder here is often the two paths in the wrong order.
        return refuse(InputProblem::TemplateNotFound,
                      files.IsFolder(CutLastBackslash(inputs.templatePath)) ? FoundAtPath::Folder
                                                                            : FoundAtPath::Nothing);
    }
    const auto blockOf = [&] {
        return ExtractStringBetween(inputs.templateText.bytes(), kStartMarker, kEndMarker);
    };
    files.ReadComplete(inputs.templatePath, inputs.templateText,
                       [&] { return !TrimSpaces(blockOf()).empty(); });
    if (TrimSpaces(blockOf()).empty()) {
        return refuse(InputProblem::TemplateBlockBlank, FoundAtPath::File);
    }
    inputs.oldFolder = CutLastBackslash(Unquoted(TrimSpaces(folderBox), files));
    if (inputs.oldFolder.empty()) {
        return refuse(InputProblem::FolderNotGiven);
    }
    if (const FoundAtPath found = LookAtFolder(inputs.oldFolder, files);
        found != FoundAtPath::Folder &&
        !(filesMayBeBelow && found == FoundAtPath::FolderWithoutFiles)) {
        return refuse(InputProblem::FolderHasNoFiles, found);
    }
    return true;
}

// The folder and, going down, every folder below it that is not passed by: those holding
// documents handed on, each as a run on it alone.
void WalkTree(const Files& files, const CheckedInputs& inputs, RunObserver& observer,
              const TemplateTransplant& transplant, const PlannedFolder& folder,
              FolderSteps& steps) {
    files.ThrowIfStopped();
    FolderListing listing;
    try {
        listing = ListFolder(files, inputs, folder.path, folder.below, observer, true);
    } catch (const FileError& error) {
        if (folder.below.empty()) {
            throw;
        }
        steps.Unlisted(error);
        return;
    }
    if (!listing.documents.empty()) {
        steps.Folder(transplant, folder, [&] { return listing.documents; });
    }
    for (const std::string& name : listing.folders) {
        const std::string path = JoinPath(folder.path, name);
        WalkTree(files, inputs, observer, transplant,
                 {path, folder.Named(name), JoinPath(path, kOutputFolderName)}, steps);
    }
}

}  // namespace

// Any other thing than a folder at the output folder's name, a file or a link that leads nowhere,
// stops the run and the dry run alike, before anything is made. One look decides: another run that
// makes the folder between two looks would otherwise make it look taken. An output folder that is
// the old-version folder itself (a link to it, a mount of it, another mount of the same folder)
// would have the outputs replace the old documents.
bool OutputFolderMustBeMade(const Files& files, const std::string& oldFolder,
                            const std::string& outputFolder) {
    switch (files.KindOf(outputFolder)) {
        case sys::PathKind::Folder:
            if (files.IsSameFile(outputFolder, oldFolder) ||
                files.ShowTheSameFiles(outputFolder, oldFolder)) {
                throw FileError(FileError::Operation::WriteInFolder, outputFolder,
                                OwnReason::LeadsBackToFolder);
            }
            return false;
        case sys::PathKind::Nothing:
            return true;
        case sys::PathKind::OrdinaryFile:
        case sys::PathKind::Other:
            break;
    }
    throw FileError(FileError::Operation::CreateFolder, outputFolder, OwnReason::NameTaken);
}

// Whether a run could make its output folder and write into it, tried with a temporary file that
// leaves nothing: in the output folder where it stands, else where it would be made, when a
// refusal is the run's failure to make the folder.
void CheckOutputsCanBeWritten(const Files& files, const std::string& oldFolder,
                              const std::string& outputFolder) {
    const bool mustBeMade = OutputFolderMustBeMade(files, oldFolder, outputFolder);
    const std::string& folder = mustBeMade ? oldFolder : outputFolder;
    try {
        const PreparedOutput trial(files, JoinPath(folder, "trial.html"));
    } catch (const FileError& error) {
        throw FileError(
            mustBeMade ? FileError::Operation::CreateFolder : FileError::Operation::WriteInFolder,
            mustBeMade ? outputFolder : folder, error);
    }
}

FolderListing ListFolder(const Files& files, const CheckedInputs& inputs, const std::string& folder,
                         const std::string& below, RunObserver& observer, bool goDown) {
    std::vector<sys::FolderEntry> entries = files.ListEntries(folder);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    FolderListing listing;
    for (sys::FolderEntry& entry : entries) {
        const std::string named = below.empty() ? entry.name : JoinPath(below, entry.name);
        if (const auto notADocument = WhyNotADocument(entry, kDocumentPattern)) {
            if (IsOutputFolder(entry)) {
                if (goDown) {
                    observer.NotLookedAt(named, NotLookedAtReason::OutputFolder);
                }
            } else if (goDown && *notADocument == NotLookedAtReason::Folder) {
                if (entry.link) {
                    observer.NotLookedAt(named, NotLookedAtReason::LinkToFolder);
                } else {
                    listing.folders.push_back(std::move(entry.name));
                }
            } else {
                observer.NotLookedAt(named, *notADocument);
            }
        } else if (IsTheTemplate(files, JoinPath(folder, entry.name), inputs.templatePath)) {
            observer.PassedOver(named, PassedOverReason::TheTemplate);
        } else {
            listing.documents.push_back(std::move(entry.name));
        }
    }
    return listing;
}

std::string PlannedFolder::Named(const std::string& document) const {
    return below.empty() ? document : JoinPath(below, document);
}

bool FollowPlan(std::string_view templateBox, std::string_view folderBox, const Files& files,
                RunObserver& observer, bool recursive, FolderSteps& steps) {
    CheckedInputs inputs;
    if (!CheckInputs(templateBox, folderBox, files, observer, inputs, recursive)) {
        return false;
    }
    // The template text and the places of its data block are fixed for the whole run.
    const TemplateTransplant transplant(inputs.templateText.bytes(), kStartMarker, kEndMarker);
    const PlannedFolder oldFolder{
        inputs.oldFolder, {}, JoinPath(inputs.oldFolder, kOutputFolderName)};
    if (recursive) {
        WalkTree(files, inputs, observer, transplant, oldFolder, steps);
        return true;
    }
    files.ThrowIfStopped();
    steps.Folder(transplant, oldFolder, [&] {
        return ListFolder(files, inputs, inputs.oldFolder, {}, observer, false).documents;
    });
    return true;
}

}  // namespace orba
