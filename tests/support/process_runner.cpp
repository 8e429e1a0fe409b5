#include "tests/support/process_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace orba::test {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
    TempDir capture;
    const std::string outPath = capture / "out";
    const std::string errPath = capture / "err";

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        const std::string& outTo =
            options.standardOutput.empty() ? outPath : options.standardOutput;
        const int out = ::open(outTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(options.errorsToOutput ? out : err, 2) < 0) {
            ::_exit(127);
        }
        if (options.fileSizeLimit >= 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                               static_cast<rlim_t>(options.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.openFileLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(options.openFileLimit),
                               static_cast<rlim_t>(options.openFileLimit)};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        for (const int ignored : options.ignoredSignals) {
            ::signal(ignored, SIG_IGN);
        }
        for (const int descriptor : options.closedDescriptors) {
            ::close(descriptor);
        }
        for (const std::string& setting : options.environment) {
            const auto equals = setting.find('=');
            ::setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("waitpid failed");
        }
    }
    ProcessResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.out = options.standardOutput.empty() ? ReadBytes(outPath) : std::string();
    result.err = ReadBytes(errPath);
    return result;
}

}  // namespace orba::test
