#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "ui/desktop.h"

namespace orba::test {

// A desktop whose dialogs are answered in advance and which records what the window asked of it.
class FakeDesktop final : public ui::Desktop {
  public:
    std::string ApplicationFolder() override { return applicationFolder; }
    std::string ChooseFileToOpen(std::span<const ui::FileFilter> filters) override {
        offeredFilters.assign(filters.begin(), filters.end());
        return Next(filesToChoose);
    }
    std::string ChooseFolder(std::string_view title) override {
        folderPickerTitles.emplace_back(title);
        return Next(foldersToChoose);
    }
    void OpenWebAddress(std::string_view address) override {
        openedAddresses.emplace_back(address);
    }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void EndProgram() override { ++endRequests; }
    // A clock that moves `tick` at each reading.
    std::chrono::steady_clock::time_point Now() override { return now += tick; }

    std::string applicationFolder;
    std::deque<std::string> filesToChoose;    // an empty answer is a cancel
    std::deque<std::string> foldersToChoose;  // likewise

    std::vector<ui::FileFilter> offeredFilters;
    std::vector<std::string> folderPickerTitles;
    std::vector<std::string> openedAddresses;
    std::vector<std::string> messages;
    int endRequests = 0;
    std::chrono::steady_clock::time_point now{};
    std::chrono::steady_clock::duration tick{};

  private:
    static std::string Next(std::deque<std::string>& answers) {
        if (answers.empty()) {
            return {};
        }
        std::string answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
};

}  // namespace orba::test
