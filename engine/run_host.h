#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "engine/run_texts.h"

namespace orba {

// Where a text of the run is shown.
enum class ShownIn { Log, Message };

// What the upgrade run needs from whoever started it: the window, the command line or a test.
class RunHost {
  public:
    virtual ~RunHost() = default;

    // Appends `entry` behind the progress log as it stands.
    virtual void AppendLog(std::string_view entry) = 0;

    // Shows a problem to the user and returns when the user has seen it.
    virtual void ShowMessage(std::string_view text) = 0;

    // A failure stopped the run (or the dry run): which file, what was being done, the reason.
    virtual void ShowFailure(const FileError& error, Stopped stopped) {
        ShowMessage(FailureMessage(error, Shown(error.path(), ShownIn::Message), stopped));
    }
    // The same for a failure that is not a file's, with its description.
    virtual void ShowUnexpectedFailure(std::string_view description, Stopped stopped) {
        ShowMessage(UnexpectedFailureMessage(Shown(description, ShownIn::Message), stopped));
    }

    // One of the input problems that end a run before anything is made, and what was found at the
    // path it is about: the window shows its message; the command line says more.
    virtual void ShowInputProblem(InputProblem problem, FoundAtPath /*found*/) {
        ShowMessage(InputProblemMessage(problem));
    }

    // Called after each document entry: bring the newest entry into view and let the user act.
    // Returns false when the user has ended the program meanwhile; the run then stops at once.
    virtual bool AfterDocumentEntry() = 0;

    // Asked between any two steps of a run or a dry run (after the template is read, before and
    // after each document, written or not): let the user act. False when the user ended the
    // program or asked the run to stop meanwhile; the run then stops at once.
    virtual bool KeepGoing() { return true; }

    // Called once after the result entry: bring it into view.
    virtual void AfterResultEntry() = 0;

    // How far the run has got: `done` of the `total` documents of the listing handled (written or
    // passed over). Told once the listing is made, with `done` 0, and after each document.
    virtual void Progress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}

    // A document gets no upgraded copy, and why: the run passes it over without a log entry.
    virtual void PassedOver(std::string_view /*name*/, PassedOverReason /*reason*/) {}
    // An entry of the folder that is not a document, and why: told as the run plans, before the
    // documents, in the listing's order.
    virtual void NotLookedAt(std::string_view /*name*/, NotLookedAtReason /*reason*/) {}

    // Another program holds a file that the run needs: wait `pause` before the run tries again.
    // Returns false when the user has ended the program meanwhile; the run then stops at once.
    // With documents prepared ahead, called from several threads.
    virtual bool PauseWhileFileHeld(std::chrono::milliseconds pause) {
        std::this_thread::sleep_for(pause);
        return true;
    }

    // The file system refused to flush `folder`'s names, for `reason`, in the system's words: it
    // keeps no folder of its own to flush, and the run goes on.
    virtual void FolderFlushRefused(std::string_view /*folder*/, std::string_view /*reason*/) {}

    // In a dry run: the document would be upgraded.
    virtual void WouldUpgrade(std::string_view /*name*/) {}

    // A file name or path (or a description that may hold one) as the run puts it into the log or
    // a message: as it stands, unless what shows it could take some of its bytes for commands.
    virtual std::string Shown(std::string_view text, ShownIn /*where*/) const {
        return std::string(text);
    }
};

}  // namespace orba
