#include "tests/support/test_support.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "engine/markers.h"
#include "engine/run_plan.h"
#include "storage/paths.h"

namespace orba::test {

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

TempDir::TempDir() {
    const auto base = std::filesystem::temp_directory_path();
    auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (;;) {
        const auto candidate = base / ("orba-test-" + std::to_string(seed++ % 1000000007ull));
        if (std::filesystem::create_directory(candidate)) {
            // Without the trailing separator that some temp folders are reported with.
            path_ = CutLastBackslash(Utf8Path(candidate));
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FsPath(path_), ignored);
}

std::string TempDir::operator/(std::string_view name) const {
    return JoinPath(path_, name);
}

std::string Join(std::string_view folder, std::string_view name) {
    return JoinPath(folder, name);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream file(FsPath(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(FsPath(path), std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void MakeFolder(const std::string& path) {
    std::filesystem::create_directory(FsPath(path));
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(FsPath(path));
}

void Remove(const std::string& path) {
    std::filesystem::remove(FsPath(path));
}

std::vector<std::string> AllNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder))) {
        names.push_back(Utf8Path(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Document(std::string_view before, std::string_view block, std::string_view after) {
    std::string text(before);
    text.append(kStartMarker).append(block).append(kEndMarker).append(after);
    return text;
}

std::vector<std::string> DocumentNames(const std::string& folder) {
    RunObserver told;  // what is not a document is not looked at here
    CheckedInputs inputs;
    inputs.oldFolder = folder;
    return ListFolder(Files(), inputs, folder, {}, told, false).documents;
}

std::string ExpectedLog(const std::vector<std::string>& names, const std::string& outputFolder) {
    std::string log = "\r\n\r\n" + std::string(40, '=') + "\r\n【处理开始】\r\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        log += "\r\n " + std::to_string(i + 1) + ": " + names[i] + ": 升级成功";
    }
    log += "\r\n\r\n【处理结束：成功升级 " + std::to_string(names.size()) + " 个】\r\n\r\n";
    log += "升级后的文件存储在NewORBA子文件夹，即：\r\n" + outputFolder +
           "\r\n\r\n【提示】：请检查升级结果。使用本工具升级过旧的版本可能有问题，"
           "可使用脑图文件自带的升级功能单个处理。\r\n";
    return log;
}

std::string ExpectedFacts(const std::vector<std::string>& names, const std::string& outputFolder) {
    std::string facts = "started\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        facts += "upgraded " + std::to_string(i + 1) + " " + names[i] + "\n";
    }
    return facts + "completed " + std::to_string(names.size()) + " " + outputFolder + "\n";
}

std::string FailureFacts(const FileError& error, Stopped stopped) {
    static constexpr const char* kOperations[] = {"read", "write", "create folder", "list folder",
                                                  "write in folder"};
    static constexpr const char* kStops[] = {"run stopped", "run stopped before any output",
                                             "check stopped", "check goes on", "run goes on"};
    const auto own = error.ownReason();
    return std::string(kOperations[static_cast<int>(error.operation())]) + " " + error.path() +
           ": " + (own ? "own reason " + std::to_string(static_cast<int>(*own)) + " " : "") +
           error.systemReason() + "; " + kStops[static_cast<int>(stopped)];
}

}  // namespace orba::test
