// The generator's stage cache: what each stage put into the archive last time, under the key it
// was made with, one file a stage ("<folder>/<stage>.cache"). A file is used only when it is
// whole (its check sum matches) and holds exactly the key asked for; anything else is a miss and
// the stage runs again, so a damaged or stale cache costs time, never a wrong archive.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace content {

struct StageRecord {
    std::string detail;  // the stage's line in the report ("8 models, 41000 triangles")
    std::map<std::string, std::vector<unsigned char>> entries;  // archive name -> bytes
};

// A stage cache file is refused above this size (the archive itself stays under 24 MiB).
constexpr size_t kStageCacheFileLimit = 64u * 1024u * 1024u;

std::vector<unsigned char> encodeStageRecord(const std::string& stage, const std::string& key,
                                             const StageRecord& record);
// The record, or nothing when the bytes are not one whole record of this stage and key.
std::optional<StageRecord> decodeStageRecord(const std::vector<unsigned char>& bytes,
                                             const std::string& stage, const std::string& key);

class StageCache {
public:
    explicit StageCache(std::string folder) : folder_(std::move(folder)) {}

    const std::string& folder() const { return folder_; }
    std::optional<StageRecord> load(const std::string& stage, const std::string& key) const;
    // Written beside and renamed over the old file, so that an interrupted run leaves either
    // the old file or the new one. False (the old file kept) when it cannot be written.
    bool store(const std::string& stage, const std::string& key, const StageRecord& record) const;

private:
    std::string path(const std::string& stage) const { return folder_ + "/" + stage + ".cache"; }
    std::string folder_;
};

}  // namespace content
