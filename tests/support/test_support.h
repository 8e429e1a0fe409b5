#pragma once

// Helpers shared by the tests: temporary folders, byte-exact file access, sample documents and a
// run observer that records what the run did.

#include <chrono>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/run_observer.h"
#include "storage/files.h"

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
// The error a file call fails with while another program holds the file.
int HeldError();
// The error a write fails with where the disk has no room left.
int DiskFullError();
bool Exists(const std::string& path);
void Remove(const std::string& path);

// The names of the entries of `folder` that a run takes for *.html documents, sorted by their
// bytes, as the run's plan lists them. Throws FileError when the folder cannot be read.
std::vector<std::string> DocumentNames(const std::string& folder);

// Every name in `folder`, hidden ones included, sorted.
std::vector<std::string> AllNames(const std::string& folder);

// A document: `before`, the start marker, `block`, the end marker, `after`.
std::string Document(std::string_view before, std::string_view block, std::string_view after);

// The progress log of one completed run that wrote `names` in this order into `outputFolder`, in
// the window's words, as the front ends write it.
std::string ExpectedLog(const std::vector<std::string>& names, const std::string& outputFolder);

// The same run as RecordingObserver records it: a line for its start, each output in order, and
// its end.
std::string ExpectedFacts(const std::vector<std::string>& names, const std::string& outputFolder);

// A failure as RecordingObserver records it: what failed, which file, why, and what it stopped.
std::string FailureFacts(const FileError& error, Stopped stopped);

// Records what a run tells as the facts it is, in lines of a transcript (`log`: "started",
// "upgraded 1 a.html", "completed 2 FOLDER"; `messages`: a line per failure or refusal), the
// wording being each front end's. Handed to the run through With(files), it also stops the run
// when `onDocument` says so after a document, and answers for the waits while a file is held.
class RecordingObserver : public RunObserver, public HeldFileWait {
  public:
    Files With(const Files& files) {
        return files.StoppingAt(stop.get_token()).WaitingThrough(*this);
    }

    void Refused(InputProblem problem, FoundAtPath /*found*/) override {
        refused.push_back(problem);
        messages.push_back("refused " + std::to_string(static_cast<int>(problem)));
    }
    void Started(std::uint64_t documents) override {
        log += "started\n";  // the count goes to `started`
        started.push_back(documents);
    }
    void Handled(std::uint64_t done, std::uint64_t /*total*/) override { handled.push_back(done); }
    void Upgraded(std::string_view name, std::uint64_t number) override {
        log += "upgraded " + std::to_string(number) + " " + std::string(name) + "\n";
        if (onDocument && !onDocument()) {
            stop.request_stop();
        }
    }
    void Completed(std::string_view outputFolder, std::uint64_t upgraded) override {
        log += "completed " + std::to_string(upgraded) + " " + std::string(outputFolder) + "\n";
    }
    void Failed(const FileError& error, Stopped stopped) override {
        failures.push_back(error);
        stops.push_back(stopped);
        messages.push_back(FailureFacts(error, stopped));
    }
    void FailedUnexpectedly(std::string_view description, Stopped stopped) override {
        stops.push_back(stopped);
        messages.push_back("unexpected " + std::string(description));
    }
    // Waits as the command line does, unless `onHeldPause` answers in its place.
    bool Pause(std::chrono::milliseconds pause) override {
        heldPauses.push_back(pause);
        if (onHeldPause) {
            return onHeldPause();
        }
        std::this_thread::sleep_for(pause);
        return true;
    }
    void FolderFlushRefused(std::string_view folder, std::string_view /*reason*/) override {
        unflushedFolders.emplace_back(folder);
    }
    void Changed(std::string_view name, UpgradeChange change) override {
        changes.emplace_back(name, change.output);
    }
    void PassedOver(std::string_view name, PassedOverReason reason) override {
        passedOver.emplace_back(name, reason);
    }
    void NotLookedAt(std::string_view name, NotLookedAtReason reason) override {
        notLookedAt.emplace_back(name, reason);
    }

    std::string log;
    std::vector<std::string> messages;
    std::vector<InputProblem> refused;
    std::vector<FileError> failures;     // the facts behind the file failures among the messages
    std::vector<Stopped> stops;          // what each failure stopped
    std::vector<std::uint64_t> started;  // the documents each start said it would read
    std::vector<std::uint64_t> handled;  // after each document, how many were
    std::function<bool()> onDocument;
    std::vector<std::chrono::milliseconds> heldPauses;
    std::function<bool()> onHeldPause;
    std::vector<std::string> unflushedFolders;
    std::vector<std::pair<std::string, OutputChange>> changes;
    std::vector<std::pair<std::string, PassedOverReason>> passedOver;
    std::vector<std::pair<std::string, NotLookedAtReason>> notLookedAt;
    std::stop_source stop;
};

}  // namespace orba::test
