#pragma once

// The benchmarks' options: "--name value" pairs.

#include <map>
#include <string>

namespace orba::bench {

inline std::map<std::string, std::string> OptionPairs(int argc, char** argv) {
    std::map<std::string, std::string> options;
    for (int i = 1; i + 1 < argc; i += 2) {
        options[argv[i]] = argv[i + 1];
    }
    return options;
}

}  // namespace orba::bench
