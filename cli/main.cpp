#include <cstdlib>
#include <string_view>
#include <vector>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto language = orba::cli::LanguageFromEnvironment(
        [](const char* name) -> const char* { return std::getenv(name); });
    return orba::RunCommandLine(arguments, stdout, stderr, language);
}
