#include "tests/crash_explorer.h"

#include <algorithm>
#include <filesystem>

#include "storage/temporary_names.h"

namespace orba::test {

namespace {

using Kind = DiskRecorder::Event::Kind;

std::string FolderOf(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string LeafOf(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool StandsThere(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

std::optional<int> DiskRecorder::Decide(Call /*call*/, const std::string& /*path*/) const {
    return std::nullopt;
}

void DiskRecorder::Record(Event event) const {
    const std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
}

void DiskRecorder::MarkReported() const {
    Record({Kind::Reported});
}

std::vector<DiskRecorder::Event> DiskRecorder::Events() const {
    const std::lock_guard lock(mutex_);
    return events_;
}

int DiskRecorder::FileOf(sys::Native file) const {
    const std::lock_guard lock(mutex_);
    const auto found = files_.find(file);
    return found == files_.end() ? 0 : found->second;
}

std::int64_t DiskRecorder::WriteAt(sys::Native file, std::uint64_t offset, const char* data,
                                   std::size_t size) const {
    const std::int64_t written = WrappedSystem::WriteAt(file, offset, data, size);
    if (written > 0) {
        Record({Kind::Write,
                FileOf(file),
                {},
                {},
                offset,
                std::string(data, static_cast<std::size_t>(written))});
    }
    return written;
}

bool DiskRecorder::Flush(sys::Native file) const {
    if (fault_ == PlantedFault::DataFlushSwallowed) {
        return true;
    }
    const bool flushed = WrappedSystem::Flush(file);
    if (flushed && fault_ == PlantedFault::RenameBeforeFlush) {
        const std::lock_guard lock(mutex_);
        flushesHeldBack_.insert(files_[file]);
    } else if (flushed) {
        Record({Kind::Flush, FileOf(file)});
    }
    return flushed;
}

bool DiskRecorder::Close(sys::Native file) const {
    {
        const std::lock_guard lock(mutex_);
        files_.erase(file);
    }
    return WrappedSystem::Close(file);
}

sys::Native DiskRecorder::CreateUnnamed(const std::string& folder) const {
    const sys::Native file = WrappedSystem::CreateUnnamed(folder);
    if (file != sys::kNoFile) {
        const std::lock_guard lock(mutex_);
        files_[file] = nextFile_;
        events_.push_back({Kind::Create, nextFile_++});
    }
    return file;
}

sys::Native DiskRecorder::CreateExclusive(const std::string& path) const {
    const sys::Native file = WrappedSystem::CreateExclusive(path);
    if (file != sys::kNoFile) {
        const std::lock_guard lock(mutex_);
        files_[file] = nextFile_;
        events_.push_back({Kind::Create, nextFile_});
        events_.push_back({Kind::Name, nextFile_++, path});
    }
    return file;
}

bool DiskRecorder::GiveName(sys::Native file, const std::string& path) const {
    const bool named = WrappedSystem::GiveName(file, path);
    if (named) {
        Record({Kind::Name, FileOf(file), path});
    }
    return named;
}

bool DiskRecorder::MoveIntoPlace(sys::Native file, const std::string& temporary,
                                 const std::string& path) const {
    const bool moved = WrappedSystem::MoveIntoPlace(file, temporary, path);
    if (moved) {
        const int id = FileOf(file);
        Record({Kind::Rename, id, path, temporary});
        const std::lock_guard lock(mutex_);
        if (flushesHeldBack_.erase(id) > 0) {
            events_.push_back({Kind::Flush, id});
        }
    }
    return moved;
}

void DiskRecorder::Abandon(sys::Native file, const std::string& temporary, bool removeNamed) const {
    const bool named = !temporary.empty() && StandsThere(temporary);
    {
        const std::lock_guard lock(mutex_);
        files_.erase(file);
    }
    WrappedSystem::Abandon(file, temporary, removeNamed);
    if (named && !StandsThere(temporary)) {
        Record({Kind::Unlink, 0, temporary});
    }
}

void DiskRecorder::RemoveIfAbandoned(const std::string& folder, const std::string& name) const {
    const std::string path = folder + std::string(1, sys::kPathSeparator) + name;
    const bool named = StandsThere(path);
    WrappedSystem::RemoveIfAbandoned(folder, name);
    if (named && !StandsThere(path)) {
        Record({Kind::Unlink, 0, path});
    }
}

bool DiskRecorder::MakeFolder(const std::string& path) const {
    const bool made = WrappedSystem::MakeFolder(path);
    if (made) {
        Record({Kind::MakeFolder, 0, path});
    }
    return made;
}

bool DiskRecorder::RemoveEmptyFolder(const std::string& path) const {
    const bool removed = WrappedSystem::RemoveEmptyFolder(path);
    if (removed) {
        Record({Kind::RemoveFolder, 0, path});
    }
    return removed;
}

bool DiskRecorder::FlushFolder(const std::string& path) const {
    if (fault_ == PlantedFault::FolderFlushSwallowed) {
        return true;
    }
    if (fault_ == PlantedFault::NewFolderNeverInParent) {
        const std::lock_guard lock(mutex_);
        const bool parentOfAMadeFolder =
            std::any_of(events_.begin(), events_.end(), [&](const Event& event) {
                return event.kind == Kind::MakeFolder && FolderOf(event.path) == path;
            });
        if (parentOfAMadeFolder) {
            return true;
        }
    }
    const bool flushed = WrappedSystem::FlushFolder(path);
    if (flushed) {
        Record({Kind::FlushFolder, 0, path});
    }
    return flushed;
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
            if (id == kSubfolder || IsTemporaryName(name)) {
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
