#include "ui/layout_table.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "app/identity.h"

namespace orba::ui {

namespace {

// Where controls overlap, the one listed later lies in front: each label that reaches under the
// label to its right comes before it, and each label that reaches under a text box comes before
// that box.
// One control a row: name, kind, left, top, width, height, tab index, text, points, bold,
// alignment; then its look, command, what a screen reader says, and the control a label heads.
// clang-format off
constexpr ControlSpec kControls[] = {
    {"Image1", ControlKind::Image, 480, 340, 1980, 855, -1, "", 9, false, TextAlign::Left,
     {.picture = Picture::Logo}, Command::None, {.name = "岚溪图谱ORBA标志"}},
    {"Label1", ControlKind::Label, 2760, 360, 6615, 495, 1, "岚溪图谱ORBA批量升级工具", 21.75, true,
     TextAlign::Left},
    {"Label8", ControlKind::Label, 9360, 360, 1575, 615, 16, "Version 1.0.2\r\n2024.10.15", 10.5,
     false, TextAlign::Centre},
    {"Label2", ControlKind::Label, 2760, 960, 7095, 375, 2,
     "以一个新版本ORBA文件为模板，将一个文件夹中所有ORBA文件一键升级", 10.5, false, TextAlign::Left},
    {"Label3", ControlKind::Label, 600, 1440, 1935, 375, 5, "【选择模板文件】", 10.5, true,
     TextAlign::Left, {}, Command::None, {}, "TXT_MOD_FILE"},
    {"Label4", ControlKind::Label, 2400, 1440, 9615, 375, 6,
     "指定新版本的ORBA文件，作为旧版本升级的目标。可以是orba.html，也可使用其他任何ORBA文件。",
     10.5, false, TextAlign::Left},
    {"TXT_MOD_FILE", ControlKind::TextBox, 680, 1700, 8895, 375, 7, "", 9, false, TextAlign::Left,
     {}, Command::None, {.name = "模板文件", .explainedBy = "Label4"}},
    {"BT_SELECT_MOD_FILE", ControlKind::CommandButton, 9600, 1680, 1695, 375, 4, "选择模板", 10.5,
     false, TextAlign::Left, {}, Command::ChooseTemplate},
    {"Label5", ControlKind::Label, 600, 2280, 2775, 375, 8, "【指定旧文件所在文件夹】", 10.5, true,
     TextAlign::Left, {}, Command::None, {}, "TXT_OLD_FOLDER"},
    {"Label6", ControlKind::Label, 3240, 2280, 8415, 375, 9,
     "此文件夹中所有ORBA都将被升级，升级后的文件存储在其下子文件夹NewORBA中。", 10.5, false,
     TextAlign::Left},
    {"TXT_OLD_FOLDER", ControlKind::TextBox, 680, 2540, 8895, 375, 10, "", 9, false, TextAlign::Left,
     {}, Command::None, {.name = "旧文件所在文件夹", .explainedBy = "Label6"}},
    {"BT_BROWSE_OLD_FOLDER", ControlKind::CommandButton, 9600, 2540, 1695, 375, 3, "浏览", 10.5,
     false, TextAlign::Left, {}, Command::ChooseOldFolder},
    {"Label10", ControlKind::Label, 600, 2950, 975, 255, 17, "【注意】", 10.5, true,
     TextAlign::Left},
    {"Label11", ControlKind::Label, 1500, 2950, 8415, 375, 18,
     "过旧的版本可能无法升级，可使用脑图文件自带的升级功能单个处理。", 10.5, false,
     TextAlign::Left},
    {"BT_GO", ControlKind::CommandButton, 680, 3360, 10620, 855, 0, "开始升级", 15, true,
     TextAlign::Left, {.background = Rgb{255, 192, 192}, .ownerDrawn = true},
     Command::StartUpgrade},
    {"IMG_QLX", ControlKind::Image, 680, 4320, 1800, 2055, -1, "", 9, false, TextAlign::Left,
     {.picture = Picture::QrCode, .tooltip = "点击访问【青衡书院】网站"}, Command::None,
     {.name = "【青衡书院】公众号二维码"}},
    {"Label7", ControlKind::Label, 2760, 4320, 8655, 1455, 12, identity::kMakerNotice, 9, false,
     TextAlign::Left, {.background = Rgb{255, 255, 255}}},
    {"BT_LINK_WEB", ControlKind::CommandButton, 2760, 5880, 4215, 495, 13,
     identity::kWebButtonCaption, 9, false, TextAlign::Left, {}, Command::OpenWebSite},
    {"BT_END", ControlKind::CommandButton, 7080, 5880, 4215, 495, 11, "退出", 10.5, false,
     TextAlign::Left, {}, Command::EndProgram},
    {"Label9", ControlKind::Label, 12240, 460, 2655, 255, 14, "升级进度", 10.5, true,
     TextAlign::Centre, {}, Command::None, {}, "TXT_PROGRESS"},
    {"TXT_PROGRESS", ControlKind::RichTextBox, 11520, 840, 4095, 5535, 15, "", 9, false,
     TextAlign::Left, {}, Command::None, {.name = "升级进度"}},
};
// clang-format on

}  // namespace

std::span<const ControlSpec> MainWindowControls() {
    return kControls;
}

const ControlSpec& Control(std::string_view name) {
    const auto found = std::find_if(std::begin(kControls), std::end(kControls),
                                    [name](const ControlSpec& spec) { return spec.name == name; });
    if (found == std::end(kControls)) {
        throw std::out_of_range("no control named " + std::string(name));
    }
    return *found;
}

std::vector<std::string_view> TabOrder() {
    std::vector<const ControlSpec*> focusable;
    for (const ControlSpec& spec : kControls) {
        if (TakesFocus(spec)) {
            focusable.push_back(&spec);
        }
    }
    std::sort(focusable.begin(), focusable.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });
    std::vector<std::string_view> names;
    for (const ControlSpec* spec : focusable) {
        names.push_back(spec->name);
    }
    return names;
}

}  // namespace orba::ui
