// Archive extraction: whatever the archive, nothing is written outside the target folder and
// the extraction returns. The target lies two folders down in the scratch folder, so that an
// entry climbing one or two levels still lands where the walk looks, and the walk covers the
// whole scratch folder.
#include <cstdlib>
#include <filesystem>

#include "app/archive.h"
#include "fuzz_support.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string archive = scratchFile("demodat", data, size);
    const fs::path scratch = fs::path(scratchFolder()).parent_path();
    const fs::path middle = scratch / "one" / "two";
    std::error_code ec;
    fs::create_directories(middle, ec);
    const std::string target = platform::makePrivateDirectory(middle.string() + "/", "target-");
    if (target.empty()) std::abort();
    const fs::path targetPath = fs::path(target).parent_path();
    // Smaller caps than the program's keep each run quick; the logic is the same.
    ArchiveLimits limits;
    limits.entryBytes = 1 << 20;
    limits.totalBytes = 4 << 20;
    extractArchive(target, archive, limits);
    // The scratch folder holds the archive, the two folders and the target, nothing else.
    for (auto it = fs::recursive_directory_iterator(scratch), end = decltype(it)(); it != end; ++it) {
        const fs::path& path = it->path();
        if (it->is_symlink()) std::abort();
        if (path == targetPath) {
            it.disable_recursion_pending();
            continue;
        }
        if (path != scratch / "demodat" && path != scratch / "one" && path != middle) std::abort();
    }
    for (const auto& entry : fs::recursive_directory_iterator(targetPath))
        if (entry.is_symlink()) std::abort();
    if (!platform::removeTree(target)) std::abort();
    return 0;
}
