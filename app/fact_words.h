#pragma once

// The words for each fact a run reports, one table per fact, each entry in both languages: the
// window takes the Chinese, the command line the locale's. Whatever is composed of them (a reason
// with the system's words in brackets) is composed here, once.

#include <string>
#include <string_view>

#include "app/language.h"
#include "engine/run_facts.h"
#include "storage/file_error.h"

namespace orba::app {

struct Words {
    std::string_view chinese;
    std::string_view english;

    std::string_view In(Language language) const {
        return language == Language::Chinese ? chinese : english;
    }
};

// The heading of a failure message, followed by the file's path.
Words HeadingWords(FileError::Operation operation);
// The program's own reasons for a failure.
Words OwnReasonWords(OwnReason reason);
// What became of the outputs when a failure stopped the run, the check, or neither.
Words StoppedWords(Stopped stopped);
// Why a document is passed over, and why an entry of the folder is not looked at.
Words PassedOverWords(PassedOverReason reason);
Words NotLookedAtWords(NotLookedAtReason reason);
// What an upgraded document's output is beside what stood at its name.
Words ChangeWords(OutputChange change);
inline constexpr Words kTemplateVersionWords{"已是模板的版本", "already the template's version"};

// Words in the brackets of `language` behind a space in English: "（…）" or " (…)".
std::string InBrackets(Language language, std::string_view words);

// The whole reason of `error`: the program's own words, with the system's in brackets behind
// them where it has some, or the system's alone.
std::string ReasonWords(const FileError& error, Language language);

}  // namespace orba::app
