#include "app/texts_zh.h"

#include "app/fact_words.h"

namespace orba::zh {

namespace {
constexpr std::string_view kCrLf = "\r\n";
}

std::string_view InputProblemMessage(InputProblem problem) {
    switch (problem) {
        case InputProblem::TemplateNotGiven:
            return "【模板文件未指定】：请指定一个新版本的岚溪图谱 ORBA 文件，作为升级模板。\r\n"
                   "请重新指定。";
        case InputProblem::TemplateNotFound:
            return "【文件未找到】：指定的岚溪图谱 ORBA 模板文件未找到。\r\n"
                   "请重新指定。";
        case InputProblem::TemplateBlockBlank:
            return "【格式错误】：指定的岚溪图谱 ORBA 模板文件格式不正确。\r\n"
                   " 请重新指定正确格式的 ORBA 文件。";
        case InputProblem::FolderNotGiven:
            return "【旧版文件夹未指定】：请指定旧版本脑图所在文件夹，该文件夹中的所有 ORBA "
                   "文件都将被升级。\r\n"
                   "请重新指定。";
        case InputProblem::FolderHasNoFiles:
            return "【旧版文件夹未找到】：请正确指定旧版本脑图所在文件夹，该文件夹中的所有 ORBA "
                   "文件都将被升级。\r\n"
                   "请重新指定。";
    }
    return {};
}

std::string StartEntry() {
    return std::string(kCrLf) + std::string(kCrLf) + std::string(40, '=') + std::string(kCrLf) +
           "【处理开始】" + std::string(kCrLf);
}

std::string DocumentEntry(std::uint64_t number, std::string_view name) {
    return std::string(kCrLf) + " " + std::to_string(number) + ": " + std::string(name) +
           ": 升级成功";
}

std::string EndEntries(std::uint64_t count, std::string_view outputFolder) {
    return std::string(kCrLf) + std::string(kCrLf) + "【处理结束：成功升级 " +
           std::to_string(count) + " 个】" + std::string(kCrLf) + std::string(kCrLf) +
           "升级后的文件存储在NewORBA子文件夹，即：" + std::string(kCrLf) +
           std::string(outputFolder) + std::string(kCrLf) + std::string(kCrLf) +
           "【提示】：请检查升级结果。使用本工具升级过旧的版本可能有问题，"
           "可使用脑图文件自带的升级功能单个处理。" +
           std::string(kCrLf);
}

std::string_view StoppedLine(Stopped stopped) {
    return app::StoppedWords(stopped == Stopped::RunBeforeAnyOutput ? Stopped::Run : stopped)
        .chinese;
}

namespace {

std::string StoppedMessage(std::string_view heading, std::string_view reason, Stopped stopped) {
    return std::string(heading) + std::string(kCrLf) + std::string(kReasonLabel) +
           std::string(reason) + std::string(kCrLf) + std::string(StoppedLine(stopped));
}

}  // namespace

std::string FailureMessage(const FileError& error, Stopped stopped) {
    return StoppedMessage(std::string(app::HeadingWords(error.operation()).chinese) + error.path(),
                          app::ReasonWords(error, app::Language::Chinese), stopped);
}

std::string UnexpectedFailureMessage(std::string_view description, Stopped stopped) {
    return StoppedMessage(kUnexpectedFailureHeading, description, stopped);
}

std::string ProvisioningFailureMessage(const FileError& error, std::string_view destination) {
    const std::string words = app::ReasonWords(error, app::Language::Chinese);
    const std::string reason =
        error.path() == destination ? words : "无法读取文件 " + error.path() + "：" + words;
    return "【复制失败】：无法把通用对话框控件复制到 " + std::string(destination) +
           "\r\n系统原因：" + reason;
}

}  // namespace orba::zh
