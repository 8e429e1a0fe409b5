#include "app/fact_words.h"

namespace orba::app {

Words HeadingWords(FileError::Operation operation) {
    using Operation = FileError::Operation;
    switch (operation) {
        case Operation::Read:
            return {"【读取失败】：无法读取文件 ", "Read failed: cannot read the file "};
        case Operation::Write:
            return {"【写入失败】：无法写入文件 ", "Write failed: cannot write the file "};
        case Operation::CreateFolder:
            return {"【创建文件夹失败】：无法创建文件夹 ",
                    "Folder not made: cannot create the folder "};
        case Operation::ListFolder:
            return {"【读取文件夹失败】：无法列出文件夹 ",
                    "Folder not read: cannot list the folder "};
        case Operation::WriteInFolder:
            return {"【写入失败】：无法在此文件夹中写入文件 ",
                    "Write failed: cannot write a file in the folder "};
    }
    return {};
}

Words OwnReasonWords(OwnReason reason) {
    switch (reason) {
        case OwnReason::NotARegularFile:
            return {"不是普通文件", "not a regular file"};
        case OwnReason::ChangedWhileRead:
            return {"读取期间文件被其他程序改动，多次重读仍未取得一致的内容",
                    "another program changed the file while it was read, and reading it again "
                    "did not give consistent contents"};
        case OwnReason::NameTaken:
            return {"该名称已被一个文件占用",
                    "the name is taken by a file; move it away or rename it"};
        case OwnReason::HeldByAnotherProgram:
            return {"文件正被其他程序使用，等待约 10 秒后仍未释放",
                    "another program is using the file and did not let go of it within about 10 "
                    "seconds"};
        case OwnReason::LeadsBackToFolder:
            return {"它经由链接指向旧版文件夹本身，升级结果会替换旧文档；请删除它或为它改名",
                    "it leads back to the old-version folder itself, so the outputs would replace "
                    "the old documents; remove or rename it"};
    }
    return {};
}

Words StoppedWords(Stopped stopped) {
    switch (stopped) {
        case Stopped::Run:
            return {"升级已中止；此前写入的文件完整保留。",
                    "The upgrade stopped; every file written before is kept complete."};
        case Stopped::RunBeforeAnyOutput:
            return {"升级已中止；没有写入任何文件。", "The upgrade stopped; no file was written."};
        case Stopped::Check:
            return {"检查已中止；没有写入任何文件。", "The check stopped; nothing was written."};
        case Stopped::CheckGoesOn:
            return {"检查继续进行；不会写入任何文件。", "The check goes on; nothing is written."};
        case Stopped::RunGoesOn:
            return {"升级继续进行下一个文件；此前写入的文件完整保留。",
                    "The upgrade goes on with the next document; every file written before is "
                    "kept complete."};
    }
    return {};
}

Words PassedOverWords(PassedOverReason reason) {
    switch (reason) {
        case PassedOverReason::NoDataBlock:
            return {"没有数据块", "no data block"};
        case PassedOverReason::BlockCutOff:
            return {"数据块没有结束标记：文件已损坏或未保存完整",
                    "the data block has no end marker: a damaged or half-saved map"};
        case PassedOverReason::EmptyBlock:
            return {"数据块是空的", "the data block is empty"};
        case PassedOverReason::TheTemplate:
            return {"模板本身", "the template itself"};
    }
    return {};
}

Words NotLookedAtWords(NotLookedAtReason reason) {
    switch (reason) {
        case NotLookedAtReason::OtherName:
            return {"文件名不以 .html 结尾；.htm 文件也不升级",
                    "the name does not end in .html; .htm files are not upgraded either"};
        case NotLookedAtReason::Folder:
            return {"文件夹：不查看其中的文件", "a folder: its files are not looked at"};
        case NotLookedAtReason::Hidden:
            return {"隐藏文件", "hidden"};
        case NotLookedAtReason::NotAFile:
            return {"不是普通文件", "not an ordinary file"};
        case NotLookedAtReason::LinkToFolder:
            return {"指向文件夹的链接：不进入", "a link to a folder: not gone into"};
        case NotLookedAtReason::OutputFolder:
            return {"升级输出的文件夹：不进入", "an output folder: not gone into"};
    }
    return {};
}

Words ChangeWords(OutputChange change) {
    switch (change) {
        case OutputChange::New:
            return {"新文件", "new"};
        case OutputChange::Replaced:
            return {"替换原有的输出", "replaces the output there"};
        case OutputChange::Unchanged:
            return {"输出已经相同，不再写入", "the output there is the same: not written"};
    }
    return {};
}

std::string InBrackets(Language language, std::string_view words) {
    return language == Language::Chinese ? "（" + std::string(words) + "）"
                                         : " (" + std::string(words) + ")";
}

std::string ReasonWords(const FileError& error, Language language) {
    const auto own = error.ownReason();
    if (!own) {
        return error.systemReason();
    }
    std::string words(OwnReasonWords(*own).In(language));
    if (!error.systemReason().empty()) {
        words += InBrackets(language, error.systemReason());
    }
    return words;
}

}  // namespace orba::app
