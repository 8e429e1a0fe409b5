#include "app/language.h"

#include <string_view>

namespace orba::app {

Language LanguageFromEnvironment(const char* (*variable)(const char* name)) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = variable(name);
        if (value != nullptr && *value != '\0') {
            return std::string_view(value).starts_with("zh") ? Language::Chinese
                                                             : Language::English;
        }
    }
    return Language::English;
}

std::string NoDisplayLine(Language language) {
    if (language == Language::Chinese) {
        return "orba-upgrade-gui：没有可以显示窗口的桌面（DISPLAY 或 WAYLAND_DISPLAY "
               "未设置或无法连接）；命令行可完成同样的升级：orba-upgrade 模板 文件夹\n";
    }
    return "orba-upgrade-gui: no display to show the window on (DISPLAY or WAYLAND_DISPLAY unset "
           "or unreachable); the command line does the same: orba-upgrade TEMPLATE FOLDER\n";
}

}  // namespace orba::app
