#include "engine/upgrade_run.h"

#include <deque>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "engine/data_block.h"
#include "engine/document_upgrade.h"
#include "engine/listing.h"
#include "engine/markers.h"
#include "engine/paths.h"
#include "engine/text.h"
#include "storage/platform.h"
#include "storage/utf8_file.h"

namespace orba {

namespace {

constexpr std::string_view kOutputFolderName = "NewORBA";
constexpr std::string_view kDocumentPattern = "*.html";

RunResult Refuse(RunHost& host, InputProblem problem) {
    host.ShowMessage(InputProblemMessage(problem));
    return {RunOutcome::Refused, 0, problem};
}

// The template itself, lying in the old-version folder, is not upgraded. The names must agree
// without regard to letter case and name the very same file: on a file system where case tells
// files apart, Tpl.html and tpl.html are two documents.
bool IsTheTemplate(const std::string& documentPath, const std::string& templatePath) {
    return AsciiLower(TrimSpaces(documentPath)) == AsciiLower(TrimSpaces(templatePath)) &&
           platform::IsSameFile(documentPath, templatePath);
}

}  // namespace

RunResult RunUpgrade(std::string_view templateBox, std::string_view folderBox, RunHost& host,
                     const Files& files, std::size_t prepareAhead) {
    const std::string templatePath(TrimSpaces(templateBox));
    if (templatePath.empty()) {
        return Refuse(host, InputProblem::TemplateNotGiven);
    }
    if (!FileExists(templatePath)) {
        return Refuse(host, InputProblem::TemplateNotFound);
    }

    std::uint64_t upgraded = 0;
    try {
        // The template text and the places of its data block are fixed for the whole run.
        const LoadedFile templateText = files.Load(templatePath);
        TemplateTransplant transplant(templateText.bytes(), kStartMarker, kEndMarker);
        if (TrimSpaces(transplant.templateBlock()).empty()) {
            return Refuse(host, InputProblem::TemplateBlockBlank);
        }
        const std::string oldFolder = CutLastBackslash(TrimSpaces(folderBox));
        if (oldFolder.empty()) {
            return Refuse(host, InputProblem::FolderNotGiven);
        }
        if (!FolderHasFiles(oldFolder)) {
            return Refuse(host, InputProblem::FolderHasNoFiles);
        }

        const std::string outputFolder = JoinPath(oldFolder, kOutputFolderName);
        if (!platform::IsFolder(outputFolder)) {
            files.CreateFolder(outputFolder);
        }
        files.RemoveLeftovers(outputFolder);
        const std::vector<std::string> names = ListFiles(oldFolder, kDocumentPattern, files);
        host.AppendLog(StartEntry());

        std::vector<std::string> documents;
        for (const std::string& name : names) {
            if (!IsTheTemplate(JoinPath(oldFolder, name), templatePath)) {
                documents.push_back(name);
            }
        }
        const auto prepare = [&](const std::string& name) {
            return PrepareUpgrade(files, transplant, JoinPath(oldFolder, name),
                                  JoinPath(outputFolder, name));
        };
        // Up to `prepareAhead` documents are prepared side by side with the one taking its place.
        // Outputs take their names, log entries are made and failures are met strictly in the
        // order of the listing, so the run reads the same either way; a prepared output that is
        // never used leaves no trace.
        std::deque<std::future<std::optional<PreparedOutput>>> ahead;
        std::size_t nextToPrepare = 0;
        for (const std::string& name : documents) {
            while (ahead.size() < prepareAhead && nextToPrepare < documents.size()) {
                ahead.push_back(
                    std::async(std::launch::async, prepare, std::cref(documents[nextToPrepare++])));
            }
            std::optional<PreparedOutput> output;
            if (ahead.empty()) {
                output = prepare(name);
                ++nextToPrepare;
            } else {
                output = ahead.front().get();
                ahead.pop_front();
            }
            if (!output) {
                continue;  // no data block
            }
            files.Commit(*output);
            ++upgraded;
            host.AppendLog(DocumentEntry(upgraded, name));
            if (!host.AfterDocumentEntry()) {
                return {RunOutcome::Stopped, upgraded};
            }
        }

        host.AppendLog(EndEntry(upgraded));
        host.AppendLog(ResultEntry(outputFolder));
        host.AfterResultEntry();
        return {RunOutcome::Completed, upgraded};
    } catch (const FileError& error) {
        host.ShowMessage(FailureMessage(error));
        return {RunOutcome::Failed, upgraded};
    } catch (const std::exception& error) {
        // Out of memory, say: the run stops as after a file failure, and says so.
        host.ShowMessage(UnexpectedFailureMessage(error.what()));
        return {RunOutcome::Failed, upgraded};
    }
}

}  // namespace orba
