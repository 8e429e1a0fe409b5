#pragma once

// The language of the programs' own texts outside the window (the command line's usage and
// lines, the window program's start-up message): Chinese or English, by the locale.

#include <string>

namespace orba::app {

enum class Language { English, Chinese };

// Chinese when the first set of LC_ALL, LC_MESSAGES and LANG begins with "zh"; `variable` reads
// one (nullptr when it is not set).
Language LanguageFromEnvironment(const char* (*variable)(const char* name));

// The window program found no display to open its window on: one line that says so and names the
// command line, which does the same without one.
std::string NoDisplayLine(Language language);

}  // namespace orba::app
