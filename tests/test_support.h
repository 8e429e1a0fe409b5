#pragma once

// Helpers shared by the tests: temporary folders, byte-exact file access, sample documents and a
// run host that records what the run did.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_host.h"

namespace orba::test {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // `name` inside this folder, joined with this platform's separator.
    std::string operator/(std::string_view name) const;

  private:
    std::string path_;
};

// `folder`, this platform's separator and `name`.
std::string Join(std::string_view folder, std::string_view name);

// Paths are UTF-8 here as in the engine; these take and give them so on every platform.
void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);
void MakeFolder(const std::string& path);

// A file that this platform hides from listings: its name begins with a dot, and on Windows it
// also carries the hidden attribute.
void WriteHiddenFile(const std::string& path, std::string_view bytes);
bool Exists(const std::string& path);
void Remove(const std::string& path);

// Every name in `folder`, hidden ones included, sorted.
std::vector<std::string> AllNames(const std::string& folder);

// A document: `before`, the start marker, `block`, the end marker, `after`.
std::string Document(std::string_view before, std::string_view block, std::string_view after);

// The progress log of one completed run that wrote `names` in this order into `outputFolder`.
std::string ExpectedLog(const std::vector<std::string>& names, const std::string& outputFolder);

class RecordingHost : public RunHost {
  public:
    void AppendLog(std::string_view entry) override { log += entry; }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    bool AfterDocumentEntry() override {
        ++documentPauses;
        return onDocument ? onDocument() : true;
    }
    void AfterResultEntry() override { ++resultPauses; }
    // Waits as the command line does, unless `onHeldPause` answers in its place.
    bool PauseWhileFileHeld(std::chrono::milliseconds pause) override {
        heldPauses.push_back(pause);
        return onHeldPause ? onHeldPause() : RunHost::PauseWhileFileHeld(pause);
    }
    void FolderFlushRefused(std::string_view folder, std::string_view /*reason*/) override {
        unflushedFolders.emplace_back(folder);
    }
    void PassedOver(std::string_view name, PassedOverReason reason) override {
        passedOver.emplace_back(name, reason);
    }
    void NotLookedAt(std::string_view name, NotLookedAtReason reason) override {
        notLookedAt.emplace_back(name, reason);
    }

    std::string log;
    std::vector<std::string> messages;
    int documentPauses = 0;
    int resultPauses = 0;
    std::function<bool()> onDocument;
    std::vector<std::chrono::milliseconds> heldPauses;
    std::function<bool()> onHeldPause;
    std::vector<std::string> unflushedFolders;
    std::vector<std::pair<std::string, PassedOverReason>> passedOver;
    std::vector<std::pair<std::string, NotLookedAtReason>> notLookedAt;
};

}  // namespace orba::test
