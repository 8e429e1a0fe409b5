#pragma once

// Runs a program in a child process and collects what it wrote and how it ended.

#include <string>
#include <vector>

namespace orba::test {

struct ProcessResult {
    int exitStatus = -1;  // -1 when the program did not exit normally
    int signal = 0;       // the signal that ended it, if one did (POSIX only)
    std::string out;
    std::string err;
};

struct ProcessOptions {
    long fileSizeLimit = -1;          // bytes; RLIMIT_FSIZE with SIGXFSZ ignored, when not negative
    std::string standardOutput = {};  // a file to write standard output to instead of collecting it
    std::vector<std::string> environment = {};  // NAME=VALUE set for the program (POSIX only)
    // POSIX only: the program's standard descriptors among these are closed when it starts, and
    // it may have at most `openFileLimit` files open (RLIMIT_NOFILE), when not negative.
    std::vector<int> closedDescriptors = {};
    bool errorsToOutput = false;  // standard error into the same file as standard output
    long openFileLimit = -1;
    std::vector<int> ignoredSignals = {};  // POSIX only: ignored when the program starts
};

#ifdef _WIN32
// The build passes programs' paths in their Linux form; under Wine the Linux root is drive Z:.
std::string WindowsPath(std::string path);
#endif

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

}  // namespace orba::test
