#include "tests/support/crash_explorer.h"

#include <algorithm>

#include "storage/temporary_names.h"

namespace orba::test {

namespace {

using Kind = DiskRecorder::Event::Kind;

std::string LeafOf(const std::string& path) {
    return std::string(NameOf(path));
}

}  // namespace

std::optional<int> DiskRecorder::Decide(Call call, const std::string& /*path*/) const {
    const std::lock_guard lock(mutex_);
    if (failing_.contains(call) && failed_.insert(call).second) {
        return sys::DeviceError();
    }
    return std::nullopt;
}

void DiskRecorder::Record(Event event) const {
    events_.push_back(std::move(event));
}

void DiskRecorder::MarkReported() const {
    const std::lock_guard lock(mutex_);
    Record({Kind::Reported});
}

std::vector<DiskRecorder::Event> DiskRecorder::Events() const {
    const std::lock_guard lock(mutex_);
    return events_;
}

void DiskRecorder::Flushed(int file) const {
    if (fault_ == PlantedFault::DataFlushSwallowed || lost_.contains(file)) {
        return;
    }
    if (fault_ == PlantedFault::RenameBeforeFlush) {
        flushesHeldBack_.insert(file);
        return;
    }
    Record({Kind::Flush, file});
}

void DiskRecorder::After(const CallDone& done) const {
    const std::lock_guard lock(mutex_);
    const auto id = [&] {
        const auto found = files_.find(done.file);
        return found == files_.end() ? 0 : found->second;
    };
    if (!done.succeeded) {
        if (done.call == Call::Flush || done.call == Call::WriteOut) {
            lost_.insert(id());
        } else if (done.call == Call::FlushFileSystem) {
            for (const auto& [file, known] : files_) {
                lost_.insert(known);
            }
        }
        return;
    }
    switch (done.call) {
        case Call::WriteAt:
            Record({Kind::Write, id(), {}, {}, done.offset, std::string(done.bytes)});
            return;
        case Call::Flush:
            Flushed(id());
            return;
        case Call::FlushFileSystem:
            // Every file of the file system: those this run has open are all it wrote to.
            for (const auto& [file, known] : files_) {
                Flushed(known);
            }
            return;
        case Call::Close:
            files_.erase(done.file);
            return;
        case Call::CreateUnnamed:
            files_[done.file] = nextFile_;
            Record({Kind::Create, nextFile_++});
            return;
        case Call::CreateExclusive:
            files_[done.file] = nextFile_;
            named_[done.path] = nextFile_;
            Record({Kind::Create, nextFile_});
            Record({Kind::Name, nextFile_++, done.path});
            return;
        case Call::GiveName:
            named_[done.path] = id();
            Record({Kind::Name, id(), done.path});
            return;
        case Call::MoveIntoPlace: {
            // A temporary closed before its rename is known by its name.
            const int file = done.file == sys::kNoFile ? named_[done.from] : id();
            Record({Kind::Rename, file, done.path, done.from});
            if (flushesHeldBack_.erase(file) > 0) {
                Record({Kind::Flush, file});
            }
            return;
        }
        case Call::RemoveName:
        case Call::RemoveIfAbandoned:
            Record({Kind::Unlink, 0, done.path});
            return;
        case Call::MakeFolder:
            Record({Kind::MakeFolder, 0, done.path});
            return;
        case Call::RemoveEmptyFolder:
            Record({Kind::RemoveFolder, 0, done.path});
            return;
        case Call::FlushFolder:
            if (fault_ == PlantedFault::FolderFlushSwallowed ||
                (fault_ == PlantedFault::NewFolderNeverInParent &&
                 std::any_of(events_.begin(), events_.end(), [&](const Event& event) {
                     return event.kind == Kind::MakeFolder && FolderOf(event.path) == done.path;
                 }))) {
                return;
            }
            Record({Kind::FlushFolder, 0, done.path});
            return;
        default:
            return;
    }
}

namespace {

constexpr int kSubfolder = 0;  // a folder's entry for a folder in it

struct File {
    std::string current;
    std::optional<std::string> onDisk;  // as its last flush left it
    bool flushed = true;                // nothing written since
};

// A folder's names as the disk has them, and those given since its last flush, in order.
struct Folder {
    std::map<std::string, int> onDisk;
    std::vector<const DiskRecorder::Event*> since;
};

void Apply(std::map<std::string, int>& names, const DiskRecorder::Event& event) {
    switch (event.kind) {
        case Kind::Name:
            names[LeafOf(event.path)] = event.file;
            break;
        case Kind::Rename:
            names.erase(LeafOf(event.from));
            names[LeafOf(event.path)] = event.file;
            break;
        case Kind::Unlink:
        case Kind::RemoveFolder:
            names.erase(LeafOf(event.path));
            break;
        case Kind::MakeFolder:
            names[LeafOf(event.path)] = kSubfolder;
            break;
        default:
            break;
    }
}

std::map<std::string, int> Kept(const Folder& folder, std::size_t count) {
    std::map<std::string, int> names = folder.onDisk;
    for (std::size_t i = 0; i < count; ++i) {
        Apply(names, *folder.since[i]);
    }
    return names;
}

// What a power cut may leave of a file: its flushed state, or what was written since, whole,
// cut short or lost.
std::vector<std::string> MayHold(const File& file) {
    if (file.flushed) {
        return {file.current};
    }
    return {file.onDisk.value_or(std::string()), file.current,
            file.current.substr(0, file.current.size() / 2)};
}

class Explorer {
  public:
    explicit Explorer(const CrashRules& rules) : rules_(rules) {
        int id = -1;
        for (const auto& [name, text] : rules.earlier) {
            files_[id] = {text, text, true};
            folders_[rules.outputFolder].onDisk[name] = id--;
        }
    }

    void Start(const std::vector<DiskRecorder::Event>& events) {
        const bool made = std::any_of(events.begin(), events.end(), [&](const auto& event) {
            return event.kind == Kind::MakeFolder && event.path == rules_.outputFolder;
        });
        if (!made) {
            folders_[rules_.parentFolder].onDisk[LeafOf(rules_.outputFolder)] = kSubfolder;
        }
    }

    void Take(const DiskRecorder::Event& event, std::size_t point) {
        switch (event.kind) {
            case Kind::Create:
                files_[event.file] = {{}, std::nullopt, false};
                return;
            case Kind::Write: {
                File& file = files_[event.file];
                if (file.current.size() < event.offset + event.bytes.size()) {
                    file.current.resize(event.offset + event.bytes.size());
                }
                file.current.replace(event.offset, event.bytes.size(), event.bytes);
                file.flushed = false;
                return;
            }
            case Kind::Flush: {
                File& file = files_[event.file];
                file.onDisk = file.current;
                file.flushed = true;
                return;
            }
            case Kind::FlushFolder: {
                Folder& folder = folders_[event.path];
                folder.onDisk = Kept(folder, folder.since.size());
                folder.since.clear();
                return;
            }
            case Kind::Reported:
                reported_ = true;
                return;
            default:
                break;
        }
        const std::string folder = FolderOf(event.path);
        if (folder == rules_.parentFolder && LeafOf(event.path) != LeafOf(rules_.outputFolder)) {
            Fault(point, "the old-version folder was changed: " + event.path);
        }
        folders_[folder].since.push_back(&event);
    }

    // Every state a power cut at `point` may leave.
    void Check(std::size_t point) {
        const Folder& parent = folders_[rules_.parentFolder];
        const Folder& output = folders_[rules_.outputFolder];
        for (std::size_t p = 0; p <= parent.since.size(); ++p) {
            const bool outputStands = Kept(parent, p).contains(LeafOf(rules_.outputFolder));
            for (std::size_t q = 0; q <= output.since.size(); ++q) {
                CheckState(point, outputStands ? Kept(output, q) : std::map<std::string, int>());
            }
        }
    }

    std::vector<std::string> faults;

  private:
    void CheckState(std::size_t point, const std::map<std::string, int>& names) {
        for (const auto& [name, id] : names) {
            if (id == kSubfolder || IsTemporaryName(name) || IsRunMarkName(name)) {
                continue;
            }
            for (const std::string& text : MayHold(files_[id])) {
                const auto earlier = rules_.earlier.find(name);
                const auto upgraded = rules_.upgraded.find(name);
                if ((earlier == rules_.earlier.end() || text != earlier->second) &&
                    (upgraded == rules_.upgraded.end() || text != upgraded->second)) {
                    Fault(point, name + " may hold " + std::to_string(text.size()) +
                                     " bytes, neither the earlier output nor the new one");
                }
            }
        }
        for (const auto& [name, text] : rules_.earlier) {
            if (!names.contains(name)) {
                Fault(point, "the earlier output " + name + " may be lost");
            }
        }
        if (!reported_) {
            return;
        }
        for (const std::string& name : rules_.reported) {
            const auto found = names.find(name);
            if (found == names.end() ||
                MayHold(files_[found->second]) != std::vector{rules_.upgraded.at(name)}) {
                Fault(point, "after the run reported its end, " + name +
                                 " may be missing or not the new output");
            }
        }
    }

    void Fault(std::size_t point, const std::string& what) {
        const std::string fault = "after call " + std::to_string(point) + ": " + what;
        if (faults.size() < 20 && std::find(faults.begin(), faults.end(), fault) == faults.end()) {
            faults.push_back(fault);
        }
    }

    const CrashRules& rules_;
    std::map<int, File> files_;
    std::map<std::string, Folder> folders_;
    bool reported_ = false;
};

}  // namespace

std::vector<std::string> ExploreCrashes(const std::vector<DiskRecorder::Event>& events,
                                        const CrashRules& rules) {
    Explorer explorer(rules);
    explorer.Start(events);
    explorer.Check(0);
    for (std::size_t point = 0; point < events.size(); ++point) {
        explorer.Take(events[point], point + 1);
        explorer.Check(point + 1);
    }
    return explorer.faults;
}

}  // namespace orba::test
