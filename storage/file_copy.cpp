#include "storage/file_copy.h"

#include "storage/prepared_output.h"

namespace orba {

void CopyFile(const Files& files, const std::string& from, const std::string& to) {
    const LoadedFile text = files.Load(from);
    PreparedOutput output(files, to);
    output.Write(text.bytes());
    output.Commit();
}

}  // namespace orba
