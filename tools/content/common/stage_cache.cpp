#include "content/common/stage_cache.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/binary.h"
#include "content/common/digest.h"

namespace content {
namespace {

namespace fs = std::filesystem;
const char* const kMagic = "voltaresca-content stage cache";
constexpr int32_t kVersion = 1;
constexpr size_t kSumSize = 32;

std::string asString(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

std::vector<unsigned char> encodeStageRecord(const std::string& stage, const std::string& key,
                                             const StageRecord& record) {
    ByteWriter w;
    w.string(kMagic);
    w.int32(kVersion);
    w.string(stage);
    w.string(key);
    w.string(record.detail);
    w.int32(static_cast<int32_t>(record.entries.size()));
    for (const auto& [name, bytes] : record.entries) {
        w.string(name);
        w.string(asString(bytes));
    }
    std::vector<unsigned char> out = w.bytes();
    const std::array<uint8_t, 32> sum = Digest().bytes(out.data(), out.size()).finish();
    out.insert(out.end(), sum.begin(), sum.end());
    return out;
}

std::optional<StageRecord> decodeStageRecord(const std::vector<unsigned char>& bytes,
                                             const std::string& stage, const std::string& key) {
    if (bytes.size() < kSumSize) return std::nullopt;
    const size_t body = bytes.size() - kSumSize;
    const std::array<uint8_t, 32> sum = Digest().bytes(bytes.data(), body).finish();
    if (std::memcmp(sum.data(), bytes.data() + body, kSumSize) != 0) return std::nullopt;

    ByteReader r(bytes.data(), body);
    std::string magic, fileStage, fileKey;
    int32_t version = 0, count = 0;
    StageRecord record;
    if (!r.readString(magic) || magic != kMagic || !r.readInt32(version) || version != kVersion ||
        !r.readString(fileStage) || fileStage != stage || !r.readString(fileKey) || fileKey != key ||
        !r.readString(record.detail) || !r.readCount(count, 8))
        return std::nullopt;
    for (int32_t i = 0; i < count; ++i) {
        std::string name, data;
        if (!r.readString(name) || !r.readString(data)) return std::nullopt;
        if (!record.entries.emplace(name, std::vector<unsigned char>(data.begin(), data.end())).second)
            return std::nullopt;
    }
    if (r.remaining() != 0) return std::nullopt;
    return record;
}

std::optional<StageRecord> StageCache::load(const std::string& stage, const std::string& key) const {
    std::vector<unsigned char> bytes;
    if (!readFileStart(path(stage), kStageCacheFileLimit + 1, bytes) || bytes.size() > kStageCacheFileLimit)
        return std::nullopt;
    return decodeStageRecord(bytes, stage, key);
}

bool StageCache::store(const std::string& stage, const std::string& key, const StageRecord& record) const {
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) return false;
    const std::string final = path(stage), partial = final + ".partial-" + std::to_string(getpid());
    if (!writeWholeFile(partial, encodeStageRecord(stage, key, record))) {
        fs::remove(partial, error);
        return false;
    }
    fs::rename(partial, final, error);
    if (!error) return true;
    fs::remove(partial, error);
    return false;
}

}  // namespace content
