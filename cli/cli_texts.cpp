#include "cli/cli_texts.h"

#include <string>

namespace orba::cli {

namespace {

constexpr std::string_view kUsageEnglish =
    "Usage: orba-upgrade [OPTION]... TEMPLATE FOLDER\n"
    "\n"
    "Upgrades every *.html mind map in FOLDER to the version of TEMPLATE: each document's data\n"
    "block is put into a copy of TEMPLATE, written to FOLDER/NewORBA under the same name.\n"
    "The documents in FOLDER are never changed.\n"
    "\n"
    "The progress log goes to standard output (UTF-8, CR LF), problems to standard error.\n"
    "Exit status: 0 done, 2 a problem with TEMPLATE or FOLDER, 1 a file could not be read or\n"
    "written, 64 wrong usage.\n"
    "\n"
    "Options:\n"
    "  -n, --dry-run  check TEMPLATE and FOLDER as a run does and list each document that would\n"
    "                 be upgraded or passed over, with the reason; write nothing\n"
    "  -v, --verbose  name each document passed over, and why, on standard error\n"
    "      --sync     put each output on the disk before it takes its name, and the names at\n"
    "                 the end: exit status 0 then means that the outputs are on the disk\n"
    "  -h, --help     show this text\n"
    "  -V, --version  show the version\n"
    "  --             end of options: what follows is TEMPLATE and FOLDER\n";

constexpr std::string_view kUsageChinese =
    "用法：orba-upgrade [选项]... 模板 文件夹\n"
    "\n"
    "把“文件夹”中的每个 *.html 脑图升级到“模板”的版本：把每个文档的数据块放进模板的副本，\n"
    "以同样的文件名写到 文件夹/NewORBA 中。“文件夹”中的文档从不改动。\n"
    "\n"
    "升级进度写到标准输出（UTF-8，CR LF），问题写到标准错误。\n"
    "退出状态：0 完成，2 模板或文件夹有问题，1 有文件无法读取或写入，64 用法错误。\n"
    "\n"
    "选项：\n"
    "  -n, --dry-run  像升级一样检查模板和文件夹，列出每个将升级或将跳过的文档及原因；\n"
    "                 不写任何文件\n"
    "  -v, --verbose  在标准错误上列出每个跳过的文档及原因\n"
    "      --sync     每个输出文件先写入磁盘再取得文件名，结束时再把文件名写入磁盘：\n"
    "                 退出状态为 0 即表示输出文件已在磁盘上\n"
    "  -h, --help     显示本说明\n"
    "  -V, --version  显示版本\n"
    "  --             选项到此为止：其后是模板和文件夹\n";

std::string_view ReasonText(Language language, PassedOverReason reason) {
    const bool chinese = language == Language::Chinese;
    switch (reason) {
        case PassedOverReason::NoDataBlock:
            return chinese ? "没有数据块" : "no data block";
        case PassedOverReason::TheTemplate:
            return chinese ? "模板本身" : "the template itself";
    }
    return {};
}

}  // namespace

std::string_view Usage(Language language) {
    return language == Language::Chinese ? kUsageChinese : kUsageEnglish;
}

std::string UsageErrorLines(Language language, UsageError::Kind kind, std::string_view word) {
    using Kind = UsageError::Kind;
    // Each problem as the text before and after the word it is about, in English and Chinese.
    struct Problem {
        Kind kind;
        std::string_view englishBefore, englishAfter, chineseBefore, chineseAfter;
        bool namesWord = true;
    };
    static constexpr Problem kProblems[] = {
        {Kind::UnrecognizedOption, "unrecognized option '", "'", "无法识别的选项“", "”"},
        {Kind::InvalidOption, "invalid option -- '", "'", "无效的选项 -- “", "”"},
        {Kind::MissingOperands, "missing TEMPLATE and FOLDER operands", "",
         "缺少操作数：模板 和 文件夹", "", false},
        {Kind::MissingFolder, "missing FOLDER operand after '", "'", "“",
         "”之后缺少操作数：文件夹"},
        {Kind::ExtraOperand, "extra operand '", "'", "多余的操作数“", "”"},
    };
    const bool chinese = language == Language::Chinese;
    std::string lines = "orba-upgrade: ";
    for (const Problem& problem : kProblems) {
        if (problem.kind == kind) {
            lines += chinese ? problem.chineseBefore : problem.englishBefore;
            lines += problem.namesWord ? word : std::string_view();
            lines += chinese ? problem.chineseAfter : problem.englishAfter;
        }
    }
    return lines + (chinese ? "\n请用“orba-upgrade --help”查看更多信息。\n"
                            : "\nTry 'orba-upgrade --help' for more information.\n");
}

std::string InputProblemLines(Language language, InputProblem problem, FolderState folder,
                              std::string_view shownPath) {
    const bool aboutTemplate = IsAboutTemplate(problem);
    if (language == Language::Chinese) {
        return std::string(InputProblemMessage(problem)) + "\n" +
               (aboutTemplate ? "模板：“" : "文件夹：“") + std::string(shownPath) + "”\n";
    }
    std::string_view words;
    switch (problem) {
        case InputProblem::TemplateNotGiven:
            words = "No template given: name a document of the new ORBA version to upgrade to.";
            break;
        case InputProblem::TemplateNotFound:
            words = "Template not found: there is no ordinary file at this path.";
            break;
        case InputProblem::TemplateBlockBlank:
            words =
                "Template not usable: the file has no data block, or an empty one; name a "
                "document of the new ORBA version.";
            break;
        case InputProblem::FolderNotGiven:
            words =
                "No folder given: name the folder of the old mind maps; every ORBA file in it "
                "will be upgraded.";
            break;
        case InputProblem::FolderHasNoFiles:
            words = folder == FolderState::WithoutFiles
                        ? "Folder without files: the folder holds no ordinary file to upgrade."
                    : folder == FolderState::Unreadable
                        ? "Folder not readable: the folder's files cannot be listed."
                        : "Folder not found: there is no folder at this path.";
            break;
    }
    return std::string(words) + "\n" + (aboutTemplate ? "template: '" : "folder: '") +
           std::string(shownPath) + "'\n";
}

std::string WriteErrorLine(Language language, std::string_view reason) {
    return (language == Language::Chinese ? "orba-upgrade: 写入错误：标准输出："
                                          : "orba-upgrade: write error: standard output: ") +
           std::string(reason) + "\n";
}

std::string WouldUpgradeLine(Language language, std::string_view name) {
    return (language == Language::Chinese ? "将升级：" : "upgrade: ") + std::string(name) + "\n";
}

std::string PassedOverLine(Language language, std::string_view name, PassedOverReason reason) {
    if (language == Language::Chinese) {
        return "跳过：" + std::string(name) + "（" + std::string(ReasonText(language, reason)) +
               "）\n";
    }
    return "pass over: " + std::string(name) + " (" + std::string(ReasonText(language, reason)) +
           ")\n";
}

std::string DryRunSummary(Language language, std::uint64_t upgrade, std::uint64_t passedOver) {
    if (language == Language::Chinese) {
        return "将升级 " + std::to_string(upgrade) + " 个，跳过 " + std::to_string(passedOver) +
               " 个\n";
    }
    return std::to_string(upgrade) + " to upgrade, " + std::to_string(passedOver) +
           " passed over\n";
}

}  // namespace orba::cli
