#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/standard_descriptors.h"
#include "cli/cli_app.h"
#include "cli/end_signals.h"

int main(int argc, char** argv) {
    if (!orba::app::OpenClosedStandardDescriptors()) {
        return orba::kExitFailed;
    }
    // The system's reasons for a failure come in the locale's language, in UTF-8 as every other
    // text of the program, whatever the locale's own character set.
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    bind_textdomain_codeset("libc", "UTF-8");
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto language = orba::cli::LanguageFromEnvironment(
        [](const char* name) -> const char* { return std::getenv(name); });
    orba::cli::EndSignals endSignals;
    const int status = orba::RunCommandLine(arguments, stdout, stderr, language, endSignals.stop());
    endSignals.EndAsAsked();
    return status;
}
