// Archive extraction: whatever the archive, nothing is written outside the target folder and
// the extraction returns.
#include <cstdlib>
#include <filesystem>

#include "app/archive.h"
#include "fuzz_support.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string archive = scratchFile("demodat", data, size);
    const std::string target = platform::makePrivateDirectory(scratchFolder(), "target-");
    if (target.empty()) std::abort();
    extractArchive(target, archive);
    // The scratch folder holds the archive and the target, nothing else.
    for (const auto& entry : fs::directory_iterator(scratchFolder())) {
        const std::string name = entry.path().filename().string();
        if (name != "demodat" && entry.path().string() + "/" != target) std::abort();
    }
    for (const auto& entry : fs::recursive_directory_iterator(target))
        if (entry.is_symlink()) std::abort();
    if (!platform::removeTree(target)) std::abort();
    return 0;
}
