#pragma once

// Who the program is: the one place for its title, version, the maker's web address and notice.

#include <string_view>

#include "app/version.h"  // made by the build from project(VERSION) in CMakeLists.txt

namespace orba::identity {

inline constexpr std::string_view kProductName = "ORBA批量升级工具";

inline constexpr std::string_view kMakerWebAddress = "https://qhsy.example.org";
inline constexpr std::string_view kWebButtonCaption =
    "https://qhsy.example.org\r\n点击访问网站发现更多奇迹";
static_assert(kWebButtonCaption.starts_with(kMakerWebAddress));

// The maker's notice in the window's footer: terms of use, disclaimer and contacts.
inline constexpr std::string_view kMakerNotice =
    "【使用条款与免责声明】\r\n"
    "  1. 本工具免费使用，仅用于升级岚溪图谱 ORBA 脑图文件，请勿用于其他用途。\r\n"
    "  2. 本工具只读取旧文件、从不修改旧文件，升级结果保存在其下的 NewORBA 子文件夹中。\r\n"
    "  3. 因使用本工具造成的任何损失，作者不承担责任；升级后请逐一检查结果。\r\n"
    "【联系方式】\r\n"
    "  本程序不会自动更新。安装文件、更新和源代码均发布在青衡书院网站 qhsy.example.org 上。";

}  // namespace orba::identity
