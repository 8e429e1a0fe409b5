#pragma once

// Reasons for a file failure that this program finds itself, in the words the user reads after
// "系统原因：". Reasons the system gives come in the system's own words.

#include <string_view>

namespace orba::reasons {

enum class Own {
    NotARegularFile,
    ChangedWhileRead,
    NameTaken,             // a name that a run must make a folder of is taken by something else
    HeldByAnotherProgram,  // followed by the system's own words for the last refusal
    LeadsBackToFolder,     // the output folder is the old-version folder itself, through a link
};

inline constexpr std::string_view kNotARegularFile = "不是普通文件";
inline constexpr std::string_view kChangedWhileRead =
    "读取期间文件被其他程序改动，多次重读仍未取得一致的内容";
inline constexpr std::string_view kNameTaken = "该名称已被一个文件占用";
inline constexpr std::string_view kHeldByAnotherProgram =
    "文件正被其他程序使用，等待约 10 秒后仍未释放";
inline constexpr std::string_view kLeadsBackToFolder =
    "它经由链接指向旧版文件夹本身，升级结果会替换旧文档；请删除它或为它改名";

constexpr std::string_view Words(Own reason) {
    switch (reason) {
        case Own::NotARegularFile:
            return kNotARegularFile;
        case Own::ChangedWhileRead:
            return kChangedWhileRead;
        case Own::NameTaken:
            return kNameTaken;
        case Own::HeldByAnotherProgram:
            return kHeldByAnotherProgram;
        case Own::LeadsBackToFolder:
            return kLeadsBackToFolder;
    }
    return {};
}

}  // namespace orba::reasons
