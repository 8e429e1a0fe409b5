#include "cli/cli_texts.h"

#include "app/fact_words.h"

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
    "An output whose bytes already stand in NewORBA is not written again. A damaged or empty\n"
    "map is named on standard error, and a closing line there counts what was not upgraded.\n"
    "Exit status: 0 done, 2 a problem with TEMPLATE or FOLDER, 1 a file could not be read or\n"
    "written, 64 wrong usage.\n"
    "\n"
    "Options:\n"
    "  -n, --dry-run  check TEMPLATE and FOLDER as a run does and list every entry of FOLDER:\n"
    "                 upgraded (new, replacing or unchanged), passed over or not looked at,\n"
    "                 with the reason; write nothing\n"
    "  -v, --verbose  name every entry of FOLDER on standard error: upgraded (new, replacing\n"
    "                 or unchanged), or not, and why; count each kind at the end, and with\n"
    "                 --sync name each folder whose flush the file system refused\n"
    "  -r, --recursive  FOLDER and every folder below it, each with its own NewORBA; not\n"
    "                 hidden folders, links to folders or NewORBA folders\n"
    "  -k, --keep-going  go on past a document that cannot be read or written, and end\n"
    "                 with exit status 1\n"
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
    "NewORBA 中已有相同内容的输出文件不再写入。已损坏或空的脑图在标准错误上列出，\n"
    "最后一行统计未升级的项。\n"
    "退出状态：0 完成，2 模板或文件夹有问题，1 有文件无法读取或写入，64 用法错误。\n"
    "\n"
    "选项：\n"
    "  -n, --dry-run  像升级一样检查模板和文件夹，列出文件夹中的每一项：将升级（新文件、\n"
    "                 替换或不变）、将跳过或不处理，并说明原因；不写任何文件\n"
    "  -v, --verbose  在标准错误上列出文件夹中的每一项：已升级（新文件、替换或不变），或不\n"
    "                 升级及原因；结束时统计各类数目；与 --sync 同用时，还列出文件系统不接受\n"
    "                 写盘请求的文件夹\n"
    "  -r, --recursive  文件夹及其下的每个文件夹，各有自己的 NewORBA；不进入隐藏文件夹、\n"
    "                 指向文件夹的链接和 NewORBA 文件夹\n"
    "  -k, --keep-going  遇到无法读取或写入的文档时继续处理下一个，最后以退出状态 1 结束\n"
    "      --sync     每个输出文件先写入磁盘再取得文件名，结束时再把文件名写入磁盘：\n"
    "                 退出状态为 0 即表示输出文件已在磁盘上\n"
    "  -h, --help     显示本说明\n"
    "  -V, --version  显示版本\n"
    "  --             选项到此为止：其后是模板和文件夹\n";

// A text of the program's own, whatever it ends its lines with, ended as the platform ends lines.
std::string EndLines(std::string_view text) {
    std::string ended;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            continue;
        }
        if (text[at] == '\n') {
            ended += kLineEnd;
        } else {
            ended += text[at];
        }
    }
    return ended;
}

std::string Line(std::string_view text) {
    return std::string(text) + std::string(kLineEnd);
}

// The command line's own words, each in both languages.
constexpr app::Words kReasonLabel{zh::kReasonLabel, "Reason: "};
constexpr app::Words kWriteError{"orba-upgrade: 写入错误：标准输出：",
                                 "orba-upgrade: write error: standard output: "};
constexpr app::Words kStandardOutput{"标准输出", "standard output"};
constexpr app::Words kWouldUpgrade{"将升级：", "upgrade: "};
constexpr app::Words kUpgradedAs{"已升级：", "upgraded: "};
constexpr app::Words kPassOver{"跳过：", "pass over: "};
constexpr app::Words kNotLookedAt{"未处理：", "not looked at: "};
constexpr app::Words kToUpgrade{"将升级", "to upgrade"};
constexpr app::Words kCouldNotBeRead{"无法读取", "could not be read"};
constexpr app::Words kUpgradedCount{"升级", "upgraded"};
constexpr app::Words kFailedCount{"失败", "failed"};
constexpr app::Words kVerboseNamesEach{"；加 -v 可逐一列出未升级的项及原因",
                                       "; -v names each entry not upgraded, and why"};
constexpr app::Words kAlso{"；", "; "};

std::string StoppedLines(Language language, std::string_view heading, std::string_view reason,
                         Stopped stopped) {
    return Line(heading) + Line(std::string(kReasonLabel.In(language)) + std::string(reason)) +
           Line(app::StoppedWords(stopped).In(language));
}

// The counts, each kind where there are some of it beyond the first two.
std::string CountsText(Language language, std::string_view upgradedWords,
                       std::string_view failedWords, const Counts& counts) {
    const auto n = [](std::uint64_t count) { return std::to_string(count); };
    if (language == Language::Chinese) {
        return std::string(upgradedWords) + " " + n(counts.upgraded) + " 个，跳过 " +
               n(counts.passedOver) + " 个" +
               (counts.notLookedAt > 0 ? "，未处理 " + n(counts.notLookedAt) + " 个" : "") +
               (counts.failed > 0 ? "，" + std::string(failedWords) + " " + n(counts.failed) + " 个"
                                  : "") +
               (counts.folders > 0 ? "，共 " + n(counts.folders) + " 个文件夹" : "");
    }
    return n(counts.upgraded) + " " + std::string(upgradedWords) + ", " + n(counts.passedOver) +
           " passed over" +
           (counts.notLookedAt > 0 ? ", " + n(counts.notLookedAt) + " not looked at" : "") +
           (counts.failed > 0 ? ", " + n(counts.failed) + " " + std::string(failedWords) : "") +
           (counts.folders > 0 ? ", in " + n(counts.folders) + " folders" : "");
}

// What an output changes at its name, in brackets.
std::string ChangeText(Language language, UpgradeChange change) {
    std::string words(app::ChangeWords(change.output).In(language));
    if (change.templateVersion) {
        words +=
            std::string(kAlso.In(language)) + std::string(app::kTemplateVersionWords.In(language));
    }
    return app::InBrackets(language, words);
}

}  // namespace

std::string Usage(Language language) {
    return EndLines(language == Language::Chinese ? kUsageChinese : kUsageEnglish);
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
    return Line(lines) + Line(chinese ? "请用“orba-upgrade --help”查看更多信息。"
                                      : "Try 'orba-upgrade --help' for more information.");
}

// A folder where the template should be, or a file where the folder should be: perhaps the two
// were given in the wrong order.
std::string_view WrongKindHint(Language language, InputProblem problem, FoundAtPath found) {
    const bool wrongKind =
        (problem == InputProblem::TemplateNotFound && found == FoundAtPath::Folder) ||
        (problem == InputProblem::FolderHasNoFiles && found == FoundAtPath::File);
    if (!wrongKind) {
        return {};
    }
    if (language == Language::Chinese) {
        return found == FoundAtPath::Folder ? "这是一个文件夹，不是文件；先写模板，再写文件夹。"
                                            : "这是一个文件，不是文件夹；先写模板，再写文件夹。";
    }
    return found == FoundAtPath::Folder
               ? "This is a folder, not a file: TEMPLATE comes first, then FOLDER."
               : "This is a file, not a folder: TEMPLATE comes first, then FOLDER.";
}

std::string InputProblemLines(Language language, InputProblem problem, FoundAtPath found,
                              std::string_view shownPath) {
    const bool aboutTemplate = IsAboutTemplate(problem);
    const std::string_view hint = WrongKindHint(language, problem, found);
    const std::string hintLine = hint.empty() ? std::string() : Line(hint);
    if (language == Language::Chinese) {
        return Line(EndLines(zh::InputProblemMessage(problem))) +
               Line((aboutTemplate ? "模板：“" : "文件夹：“") + std::string(shownPath) + "”") +
               hintLine;
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
            words = found == FoundAtPath::FolderWithoutFiles
                        ? "Folder without files: the folder holds no ordinary file to upgrade."
                    : found == FoundAtPath::UnreadableFolder
                        ? "Folder not readable: the folder's files cannot be listed."
                        : "Folder not found: there is no folder at this path.";
            break;
    }
    return Line(words) +
           Line((aboutTemplate ? "template: '" : "folder: '") + std::string(shownPath) + "'") +
           hintLine;
}

std::string WriteErrorLine(Language language, std::string_view reason) {
    return Line(std::string(kWriteError.In(language)) + std::string(reason));
}

std::string_view StandardOutputName(Language language) {
    return kStandardOutput.In(language);
}

std::string FailureLines(Language language, const FileError& error, std::string_view shownPath,
                         Stopped stopped) {
    // In Chinese the window's words for the reason, and what to do where the command line knows
    // it (the English words say so already).
    const bool nameTaken =
        language == Language::Chinese && error.ownReason() == OwnReason::NameTaken;
    return StoppedLines(
        language,
        std::string(app::HeadingWords(error.operation()).In(language)) + std::string(shownPath),
        app::ReasonWords(error, language) + (nameTaken ? "；请移走它或为它改名" : ""), stopped);
}

std::string UnexpectedFailureLines(Language language, std::string_view shownDescription,
                                   Stopped stopped) {
    return StoppedLines(language,
                        language == Language::Chinese
                            ? zh::kUnexpectedFailureHeading
                            : "Unexpected error: the upgrade met an unexpected error.",
                        shownDescription, stopped);
}

std::string FolderFlushRefusedLine(Language language, std::string_view folder,
                                   std::string_view reason) {
    if (language == Language::Chinese) {
        return Line("orba-upgrade：文件系统不接受文件夹 " + std::string(folder) + " 的写盘请求（" +
                    std::string(reason) + "）；其中的文件名由文件系统自行保存");
    }
    return Line("orba-upgrade: the file system refused to flush the folder " + std::string(folder) +
                " (" + std::string(reason) + "); it keeps the names in it its own way");
}

std::string PassedOverLine(Language language, std::string_view name, PassedOverReason reason) {
    return Line(std::string(kPassOver.In(language)) + std::string(name) +
                app::InBrackets(language, app::PassedOverWords(reason).In(language)));
}

std::string DryRunSummary(Language language, const Counts& counts) {
    return Line(
        CountsText(language, kToUpgrade.In(language), kCouldNotBeRead.In(language), counts));
}

std::string RunSummary(Language language, const Counts& counts, bool namedEach) {
    std::string text =
        CountsText(language, kUpgradedCount.In(language), kFailedCount.In(language), counts);
    if (!namedEach && counts.passedOver + counts.notLookedAt > 0) {
        text += kVerboseNamesEach.In(language);
    }
    return Line(text);
}

std::string WouldUpgradeLine(Language language, std::string_view name, UpgradeChange change) {
    return Line(std::string(kWouldUpgrade.In(language)) + std::string(name) +
                ChangeText(language, change));
}

std::string UpgradedLine(Language language, std::string_view name, UpgradeChange change) {
    return Line(std::string(kUpgradedAs.In(language)) + std::string(name) +
                ChangeText(language, change));
}

std::string NotLookedAtLine(Language language, std::string_view name, NotLookedAtReason reason) {
    return Line(std::string(kNotLookedAt.In(language)) + std::string(name) +
                app::InBrackets(language, app::NotLookedAtWords(reason).In(language)));
}

}  // namespace orba::cli
