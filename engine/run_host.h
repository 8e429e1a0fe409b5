#pragma once

#include <string_view>

namespace orba {

// What the upgrade run needs from whoever started it: the window, the command line or a test.
class RunHost {
  public:
    virtual ~RunHost() = default;

    // Appends `entry` behind the progress log as it stands.
    virtual void AppendLog(std::string_view entry) = 0;

    // Shows a problem to the user and returns when the user has seen it.
    virtual void ShowMessage(std::string_view text) = 0;

    // Called after each document entry: bring the newest entry into view and let the user act.
    // Returns false when the user has ended the program meanwhile; the run then stops at once.
    virtual bool AfterDocumentEntry() = 0;

    // Called once after the result entry: bring it into view.
    virtual void AfterResultEntry() = 0;
};

}  // namespace orba
