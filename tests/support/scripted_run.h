#pragma once

// An upgrade run for the window's tests that makes no file call: it tells its observer what its
// script says, in the order and with the counts the engine uses, and meets a stop or a held file's
// wait through the files it is handed, as the engine does.

#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "engine/upgrade_run.h"
#include "tests/support/test_support.h"
#include "ui/window_files.h"

namespace orba::test {

struct ScriptedRun {
    enum class Fate { Upgraded, PassedOver, CannotBeWritten };
    struct Entry {
        std::string name;
        Fate fate = Fate::Upgraded;
        int heldPauses = 0;  // waits for the document, held by another program, before its fate
    };

    std::vector<Entry> documents;
    std::optional<InputProblem> refusal;
    std::string outputFolder = Join("old", "NewORBA");

    // What the runs were given and did.
    std::vector<std::pair<std::string, std::string>> starts;  // the two boxes' texts
    std::vector<std::string> begun;                           // documents, in order

    void Upgrades(const std::vector<std::string>& names) {
        documents.clear();
        for (const std::string& name : names) {
            documents.push_back({name});
        }
    }

    // The window's files: the start-up finds none of its files, the run is this one.
    ui::WindowFiles Files() {
        ui::WindowFiles files;
        files.startUp = {[](const std::string&) { return false; },
                         [](const std::string&, const std::string&) {}};
        files.upgrade = [this](std::string_view templateBox, std::string_view folderBox,
                               RunObserver& observer, const orba::Files& calls) {
            return Run(templateBox, folderBox, observer, calls);
        };
        return files;
    }

    RunResult Run(std::string_view templateBox, std::string_view folderBox, RunObserver& observer,
                  const orba::Files& calls) {
        starts.emplace_back(templateBox, folderBox);
        if (refusal) {
            observer.Refused(*refusal, FoundAtPath::Nothing);
            return {RunOutcome::Refused};
        }
        std::uint64_t upgraded = 0;
        const auto stopped = [&] {
            return upgraded > 0 ? Stopped::Run : Stopped::RunBeforeAnyOutput;
        };
        try {
            observer.Started(documents.size());
            for (std::size_t index = 0; index < documents.size(); ++index) {
                calls.ThrowIfStopped();
                const Entry& entry = documents[index];
                begun.push_back(entry.name);
                for (int pause = 0; pause < entry.heldPauses; ++pause) {
                    calls.Pause(std::chrono::milliseconds(5));
                }
                switch (entry.fate) {
                    case Fate::Upgraded:
                        observer.Upgraded(entry.name, ++upgraded);
                        break;
                    case Fate::PassedOver:
                        observer.PassedOver(entry.name, PassedOverReason::NoDataBlock);
                        break;
                    case Fate::CannotBeWritten:
                        throw FileError(FileError::Operation::Write, Join(outputFolder, entry.name),
                                        "Permission denied");
                }
                observer.Handled(index + 1, documents.size());
            }
            calls.ThrowIfStopped();
            observer.Completed(outputFolder, upgraded);
            return {RunOutcome::Completed, upgraded};
        } catch (const WaitEnded&) {
            return {RunOutcome::Stopped, upgraded};
        } catch (const FileError& error) {
            observer.Failed(error, stopped());
        } catch (const std::exception& error) {
            observer.FailedUnexpectedly(error.what(), stopped());
        }
        return {RunOutcome::Failed, upgraded};
    }
};

}  // namespace orba::test
