#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/main_window_view.h"

namespace orba::test {

// A window without a toolkit: the boxes and the log box are strings, and a test can act in the
// pause after a document, as a user clicking during a run would.
class FakeMainWindowView final : public ui::MainWindowView {
  public:
    std::string BoxText(ui::PathBox box) const override {
        return box == ui::PathBox::Template ? templateBox : folderBox;
    }
    void SetBoxText(ui::PathBox box, std::string_view text) override {
        (box == ui::PathBox::Template ? templateBox : folderBox) = text;
    }
    void Hide() override { hidden = true; }
    void AppendText(std::string_view entry) override { logBox += entry; }
    void ShowEnd(Paint paint) override { paint == Paint::Now ? ++paintedNow : ++paintedInPause; }
    void ProcessEvents() override {
        // Only in a pause after a document, which follows its entry's painting.
        if (duringPause && paintedInPause > 0) {
            std::exchange(duringPause, nullptr)();  // once
        }
    }
    void ShowRunProgress(const ui::RunProgress& shown) override { progress.push_back(shown); }

    std::string templateBox;
    std::string folderBox;
    std::string logBox = " 准备就绪...\r\n";
    bool hidden = false;
    int paintedNow = 0;
    int paintedInPause = 0;
    std::function<void()> duringPause;
    std::vector<ui::RunProgress> progress;
};

}  // namespace orba::test
