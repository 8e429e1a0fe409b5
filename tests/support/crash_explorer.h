#pragma once

// Power cuts at every point of a run, over the system seam. The recorder lets each call through
// to the real system and notes every one that changed the disk; the explorer then builds, for each
// point between two of them, the states that a disk may hold after a power cut there, and checks
// each against what the run promises.
//
// The disk model: what a file's flush put on the disk stays; what was written since may be lost,
// cut short or kept. The names given in a folder since its last flush (new names, renames,
// removals, a subfolder made or removed) are kept up to any point in the order they were given,
// as a journal keeps them, and a folder's flush keeps them all. A folder that was made and never
// flushed into its parent may be gone with all it holds.

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/wrapped_system.h"

namespace orba::test {

// A protocol fault that a recorder can plant, for the explorer to prove that it catches it.
enum class PlantedFault {
    None,
    DataFlushSwallowed,      // a file's flush is answered but never made
    FolderFlushSwallowed,    // likewise every flush of a folder
    RenameBeforeFlush,       // each output takes its name before its flush
    NewFolderNeverInParent,  // the parent of a new output folder is never flushed
};

class DiskRecorder final : public WrappedSystem {
  public:
    struct Event {
        enum class Kind {
            Create,
            Write,
            Flush,
            Name,
            Rename,
            Unlink,
            MakeFolder,
            RemoveFolder,
            FlushFolder,
            Reported
        };
        Kind kind;
        int file = 0;           // Create, Write, Flush, Name
        std::string path = {};  // the name given, made, removed or flushed
        std::string from = {};  // Rename: the name it had
        std::uint64_t offset = 0;
        std::string bytes = {};  // Write
    };

    // `failing`: calls that fail with a device error the first time they are made, as a device
    // that loses a write does; a flush that failed keeps nothing of the file on the disk, however
    // often the file is flushed again. With OneFlushReachesEveryFile among them, each file is
    // flushed on its own.
    // `refusals`: what the disk refuses that a local one allows (a share's rules).
    explicit DiskRecorder(PlantedFault fault = PlantedFault::None, std::set<Call> failing = {},
                          Refusals refusals = {})
        : WrappedSystem(refusals), fault_(fault), failing_(std::move(failing)) {}

    std::optional<int> Decide(Call call, const std::string& path) const override;
    // The run told the user that it is over (its end entry, a failure's message, its stop): what
    // it wrote must be on the disk from here on.
    void MarkReported() const;
    std::vector<Event> Events() const;

    void After(const CallDone& done) const override;

  private:
    void Record(Event event) const;  // with mutex_ held
    void Flushed(int file) const;    // likewise

    PlantedFault fault_;
    std::set<Call> failing_;
    mutable std::mutex mutex_;
    mutable std::set<Call> failed_;
    mutable std::set<int> lost_;  // files a failed flush lost
    mutable std::vector<Event> events_;
    mutable std::map<sys::Native, int> files_;
    mutable std::map<std::string, int> named_;  // a temporary's name: its file, closed or not
    mutable std::set<int> flushesHeldBack_;     // RenameBeforeFlush: made only after the rename
    mutable int nextFile_ = 1;
};

// What the explorer checks a run against.
struct CrashRules {
    std::string parentFolder;  // the old-version folder, whose originals are never touched
    std::string outputFolder;  // NewORBA in it
    // The outputs that stood before the run, by name, all on the disk.
    std::map<std::string, std::string> earlier;
    // The complete new output of each document, by name.
    std::map<std::string, std::string> upgraded;
    // The outputs the run reported written: on the disk once the run reported its end.
    std::vector<std::string> reported;
};

// Every fault found: at which point of the run (the count of calls made), and what a state there
// showed. Empty when every state at every point keeps the rules.
std::vector<std::string> ExploreCrashes(const std::vector<DiskRecorder::Event>& events,
                                        const CrashRules& rules);

}  // namespace orba::test
