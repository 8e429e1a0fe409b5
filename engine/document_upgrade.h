#pragma once

// One old document's share of a run: its data block put into the template, written whole to the
// output's temporary file, ready to take its name. The document is read once, in chunks through
// a buffer of the caller's, and the output written as it is read.

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>

#include "engine/data_block.h"
#include "engine/run_facts.h"
#include "storage/files.h"
#include "storage/prepared_output.h"

namespace orba {

// The size of the buffer a document is read through: small enough to stay in the processor's
// cache, large enough that the calls per document are few.
inline constexpr std::size_t kReadBufferSize = std::size_t{128} << 10;

// A document's upgraded output, ready to take its name; or none: the output's very bytes stand
// at its name already, or the document is passed over, and why.
struct PreparedUpgrade {
    std::unique_ptr<PreparedOutput> output;
    std::optional<PassedOverReason> passedOver;  // none when upgraded
    UpgradeChange change;  // where the output that stands at its name was looked at
};

// The upgraded output of the document at `documentPath`, prepared for `outputPath`; none when
// the document has no data block that is whole and not empty. A document that another program
// changes while it is read is read again, so the output always comes from one state of it.
// Throws FileError. Calls for several documents at once are safe when each has a buffer of its
// own.
PreparedUpgrade PrepareUpgrade(const Files& files, const TemplateTransplant& transplant,
                               const std::string& documentPath, const std::string& outputPath,
                               std::span<char> buffer);

// As PrepareUpgrade, and the output is compared with what stands at `outputPath`: where that holds
// the output's very bytes, nothing is written (with Durability::OnDisk it is flushed as it stands,
// and written again only where it cannot be). The document, its output and what stands are held
// in memory at once. Where `mayStand` is false (the output folder's listing has no such name),
// nothing is looked for there: on a share each look is a round trip. Without `write`, what the
// run would do is told and nothing is written (a dry run's look).
PreparedUpgrade PrepareChangedUpgrade(const Files& files, const TemplateTransplant& transplant,
                                      const std::string& documentPath,
                                      const std::string& outputPath, bool mayStand, bool write,
                                      std::span<char> buffer);

// The names that stand in `outputFolder` (as ComparablePath has them, so that a name that differs
// in letter case only is taken for one that may stand), from one listing: none where no folder
// stands there; no answer where it cannot be listed, and every name may then stand.
std::optional<std::set<std::string>> NamesStandingIn(const Files& files,
                                                     const std::string& outputFolder);

}  // namespace orba
