#pragma once

// The system's file calls, wrapped so that a test can fail, delay or hold any of them without
// touching the code above: each call first asks Decide, then goes to the real system or fails with
// the error code it was given, as the real call would fail; a call that may change the disk, or
// check an output's writes, then tells After what it did.

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "storage/system.h"

namespace orba::test {

enum class Call {
    OpenToRead,
    Stamp,
    ReadAt,
    WriteAt,
    Flush,
    OneFlushReachesEveryFile,
    WriteOut,
    FlushFileSystem,
    CheckWrites,
    Close,
    CreateUnnamed,
    CreateExclusive,
    GiveName,
    MoveIntoPlace,
    KeepAtClose,
    RemoveName,
    RemoveIfAbandoned,
    MakeFolder,
    FreeSpace,
    RemoveEmptyFolder,
    FlushFolder,
    ListFolder,
    KindOf,
    IsSameFile,
};

// What a call that may change the disk, or check an output's writes, did.
struct CallDone {
    Call call;
    std::string path;  // the name given, made, removed or flushed; the file's own for the rest
    sys::Native file = sys::kNoFile;  // the file made, or the one the call was made on
    bool succeeded = false;
    std::string from = {};        // MoveIntoPlace: the temporary's name
    std::uint64_t offset = 0;     // WriteAt
    std::string_view bytes = {};  // WriteAt: what was written
};

// What a file system refuses that a local disk allows: a share through FUSE has no unnamed
// files, renames no file that is still open, and no single flush of it reaches every file.
struct Refusals {
    bool oneFlush = false;
    bool unnamedFiles = false;
    bool renameWhileOpen = false;
};
inline constexpr Refusals kShare{true, true, true};

class WrappedSystem : public sys::System {
  public:
    explicit WrappedSystem(const sys::System& inner = sys::TheSystem()) : inner_(inner) {}
    explicit WrappedSystem(Refusals refusals) : inner_(sys::TheSystem()), refusals_(refusals) {}

    // Asked before each call, with the path it is about (for a call on an open file, the path it
    // was opened or named by; for an unnamed file, its folder): nothing lets it go through, an
    // error code makes it fail with that code. May block to hold the call. Const, as the system's
    // calls are: what a test counts is its own mutable state. With documents prepared ahead, asked
    // from several threads.
    virtual std::optional<int> Decide(Call call, const std::string& path) const = 0;
    // Told after each call that may change the disk, refused ones too. From several threads, as
    // Decide.
    virtual void After(const CallDone& /*done*/) const {}

    sys::Native OpenToRead(const std::string& path) const override;
    bool Stamp(sys::Native file, FileStamp& stamp, sys::FileKind& kind) const override;
    std::int64_t ReadAt(sys::Native file, std::uint64_t offset, char* data,
                        std::size_t size) const override;
    std::int64_t WriteAt(sys::Native file, std::uint64_t offset, const char* data,
                         std::size_t size) const override;
    bool Flush(sys::Native file) const override;
    bool OneFlushReachesEveryFile(const std::string& folder) const override;
    bool WriteOut(sys::Native file, bool wait) const override;
    bool FlushFileSystem(sys::Native file) const override;
    bool CheckWrites(sys::Native file) const override;
    bool Close(sys::Native file) const override;
    sys::Native CreateUnnamed(const std::string& folder) const override;
    sys::Native CreateExclusive(const std::string& path) const override;
    bool GiveName(sys::Native file, const std::string& path) const override;
    bool MoveIntoPlace(sys::Native file, const std::string& temporary,
                       const std::string& path) const override;
    bool KeepAtClose(sys::Native file) const override;
    bool RemoveName(sys::Native file, const std::string& temporary) const override;
    bool RemoveIfAbandoned(const std::string& folder, const std::string& name,
                           const std::string& mark) const override;
    bool MakeFolder(const std::string& path) const override;
    bool FreeSpace(const std::string& folder, std::uint64_t& bytes) const override;
    bool RemoveEmptyFolder(const std::string& path) const override;
    bool FlushFolder(const std::string& path) const override;
    bool ListFolder(const std::string& folder,
                    std::vector<sys::FolderEntry>& entries) const override;
    sys::PathKind KindOf(const std::string& path) const override;
    bool IsSameFile(const std::string& a, const std::string& b) const override;
    bool IsHeld(int error, const std::string& path) const override;
    std::uint64_t ProcessNumber() const override;

  protected:
    // The path an open file was opened or last named by; empty for a file this wrapper never saw.
    std::string PathOf(sys::Native file) const;

  private:
    std::optional<int> Ask(Call call, const std::string& path) const { return Decide(call, path); }
    // Decide's answer, else the refusal of the file system modelled, else nothing.
    std::optional<int> Ask(Call call, const std::string& path, bool refused, int error) const {
        const std::optional<int> decided = Decide(call, path);
        return decided || !refused ? decided : std::optional(error);
    }
    std::optional<int> Ask(Call call, sys::Native file) const { return Decide(call, PathOf(file)); }
    sys::Native Opened(sys::Native file, const std::string& path) const;
    void Named(sys::Native file, const std::string& path) const;
    void Closed(sys::Native file) const;

    const sys::System& inner_;
    Refusals refusals_;
    mutable std::mutex pathsMutex_;
    mutable std::map<sys::Native, std::string> paths_;
};

// A wrapped system whose calls one function decides, as Decide does, and which tells another what
// they did, as After is told: a test's own rule in a few lines.
class DecidedBy final : public WrappedSystem {
  public:
    using Rule = std::function<std::optional<int>(Call call, const std::string& path)>;
    using Told = std::function<void(const CallDone& done)>;
    explicit DecidedBy(Rule rule, Refusals refusals = {}, Told told = {})
        : WrappedSystem(refusals), rule_(std::move(rule)), told_(std::move(told)) {}
    std::optional<int> Decide(Call call, const std::string& path) const override {
        return rule_(call, path);
    }
    void After(const CallDone& done) const override {
        if (told_) {
            told_(done);
        }
    }

  private:
    Rule rule_;
    Told told_;
};

// Fails the first `times` calls of `kind` (negative: every one) about `path` (empty: any) with
// `error`.
DecidedBy::Rule FailFirst(Call kind, int times = 1, int error = sys::DeviceError(),
                          std::string path = {});

}  // namespace orba::test
