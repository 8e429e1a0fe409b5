#include <string_view>
#include <vector>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return orba::RunCommandLine(arguments, stdout, stderr);
}
