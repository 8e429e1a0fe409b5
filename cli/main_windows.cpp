// The command line's entry point on Windows: arguments arrive as UTF-16 and go on as UTF-8; the
// log's bytes go out unchanged into files and pipes, and a console is written in UTF-16
// (cli/text_output.h), its code page left as it was.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "storage/windows_paths.h"

namespace {

void PrepareForUtf8Bytes(FILE* stream) {
    // Binary mode: the CR LF of the log must not become CR CR LF.
    _setmode(_fileno(stream), _O_BINARY);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    PrepareForUtf8Bytes(stdout);
    PrepareForUtf8Bytes(stderr);
    std::vector<std::string> utf8;
    for (int i = 1; i < argc; ++i) {
        utf8.push_back(orba::platform::Utf8FromWide(argv[i]));
    }
    const std::vector<std::string_view> arguments(utf8.begin(), utf8.end());
    // The user's interface language decides, as Windows programs do.
    const auto language = PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE
                              ? orba::cli::Language::Chinese
                              : orba::cli::Language::English;
    return orba::RunCommandLine(arguments, stdout, stderr, language);
}
