#pragma once

// What a run and a dry run share before their first document: the two inputs checked in a fixed
// order, the template read once, and the old-version folder listed once, each entry sorted out.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_facts.h"
#include "engine/run_observer.h"
#include "storage/files.h"

namespace orba {

inline constexpr std::string_view kOutputFolderName = "NewORBA";

// An input problem, and what was found at the path it is about.
struct Refusal {
    InputProblem problem;
    FoundAtPath found = FoundAtPath::Nothing;
};

struct CheckedInputs {
    std::string templatePath;
    LoadedFile templateText;
    std::string oldFolder;
};

// The first problem with the two paths as the user typed them, or none, with `inputs` filled.
std::optional<Refusal> CheckInputs(std::string_view templateBox, std::string_view folderBox,
                                   const Files& files, CheckedInputs& inputs);

// Every entry of the old-version folder in the order of its names (bytewise): those that are not
// documents, and the template lying among them, are told to `observer` at once; returned are the
// *.html documents to read, in that order. The output folder is the run's own and not told.
std::vector<std::string> DocumentsOf(const Files& files, const CheckedInputs& inputs,
                                     RunObserver& observer);

}  // namespace orba
