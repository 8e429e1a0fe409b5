#pragma once

// One old document's share of a run: its data block put into the template, written whole to the
// output's temporary file, ready to take its name.

#include <optional>
#include <string>

#include "engine/data_block.h"
#include "storage/files.h"

namespace orba {

// The upgraded output of the document at `documentPath`, prepared for `outputPath`; none when
// the document has no data block. A document that another program changes while it is looked at
// is read again the careful way, so the output always comes from one state of it. Throws
// FileError. Safe to call for several documents at once.
std::optional<PreparedOutput> PrepareUpgrade(const Files& files,
                                             const TemplateTransplant& transplant,
                                             const std::string& documentPath,
                                             const std::string& outputPath);

}  // namespace orba
