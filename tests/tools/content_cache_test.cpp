// The generator's stage cache: a damaged cache file is a miss, never a wrong record; a rebuild
// from the cache after an effect edit runs the effect stage alone and writes the same bytes as
// a run that makes the stages again. The pictures and the music, the slow stages (seconds each),
// are taken from the build's cache in both runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "content/check/content_check.h"
#include "content/common/stage_cache.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using content::StageRecord;

TEST(StageCache, RecordsComeBackWholeAndAnyDamageIsAMiss) {
    StageRecord record{"2 files", {{"effects/a.cfx", {'a', 'b'}}, {"effects/b.cfx", {}}}};
    const std::vector<unsigned char> bytes = content::encodeStageRecord("effects", "k1", record);
    const std::optional<StageRecord> back = content::decodeStageRecord(bytes, "effects", "k1");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->detail, record.detail);
    EXPECT_EQ(back->entries, record.entries);
    EXPECT_FALSE(content::decodeStageRecord(bytes, "effects", "k2"));
    EXPECT_FALSE(content::decodeStageRecord(bytes, "materials", "k1"));
    for (size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(content::decodeStageRecord({bytes.begin(), bytes.begin() + size}, "effects", "k1")) << size;
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::vector<unsigned char> flipped = bytes;
        flipped[at] ^= 0x10;
        EXPECT_FALSE(content::decodeStageRecord(flipped, "effects", "k1")) << at;
    }

    TempDir dir;
    const content::StageCache cache(dir.path() + "cache");
    EXPECT_FALSE(cache.load("effects", "k1"));  // no folder yet
    ASSERT_TRUE(cache.store("effects", "k1", record));
    EXPECT_TRUE(cache.load("effects", "k1"));
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.path() + "cache"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"effects.cache"}) << "no partial left";
    dir.write("cache/effects.cache", std::string("not a cache"));
    EXPECT_FALSE(cache.load("effects", "k1"));
}

// Runs the generator; its exit status and everything it printed.
int generate(const std::string& arguments, std::string& output) {
    FILE* pipe = popen(("'" VOLTARESCA_GENERATOR "' " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    output.clear();
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    return pclose(pipe);
}

// The stages that ran (their report lines do not say "kept").
std::set<std::string> ranStages(const std::string& output) {
    std::set<std::string> ran;
    std::istringstream lines(output);
    const std::string prefix = "voltaresca-content: ";
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, prefix.size(), prefix) != 0 || line.find("(kept") != std::string::npos) continue;
        std::istringstream words(line.substr(prefix.size()));
        std::string stage;
        words >> stage;
        ran.insert(stage);
    }
    return ran;
}

// An output folder whose cache holds these stages' files from the build's own cache.
std::string outputWithCache(const TempDir& dir, const std::string& name, const std::set<std::string>& stages) {
    const fs::path cache = fs::path(dir.path()) / name / "content-cache";
    fs::create_directories(cache);
    for (const std::string& stage : stages)
        fs::copy_file(fs::path(VOLTARESCA_CONTENT_CACHE) / (stage + ".cache"), cache / (stage + ".cache"));
    return (fs::path(dir.path()) / name).string();
}

TEST(ContentGenerator, EffectEditRerunsTheEffectStageAloneAndGivesTheSameBytes) {
    if (!fs::exists(fs::path(VOLTARESCA_CONTENT_CACHE) / "music.cache"))
        GTEST_SKIP() << "no stage cache at " VOLTARESCA_CONTENT_CACHE " (built with VOLTARESCA_CONTENT=OFF?)";
    TempDir dir;
    const std::string content = dir.path() + "content";
    fs::copy(VOLTARESCA_CONTENT_DIR, content, fs::copy_options::recursive);
    const std::string edit = "\n// an author's edit\n";
    const std::string electro = content + "/effects/electro.cfx";
    dir.write("content/effects/electro.cfx", readFile(electro) + edit);

    const std::set<std::string> all = {"pictures", "models", "materials", "effects", "timeline", "music"};
    std::string output;
    const std::string rebuilt = outputWithCache(dir, "rebuilt", all);
    ASSERT_EQ(generate("--content '" + content + "' '" + rebuilt + "'", output), 0) << output;
    EXPECT_EQ(ranStages(output), (std::set<std::string>{"effects", "check", "archive"})) << output;

    const std::string made = outputWithCache(dir, "made", {"pictures", "music"});
    ASSERT_EQ(generate("--content '" + content + "' '" + made + "'", output), 0) << output;
    EXPECT_EQ(ranStages(output), (std::set<std::string>{"models", "materials", "effects", "timeline", "check", "archive"}))
        << output;
    const std::string archive = readFile(rebuilt + "/demodat");
    EXPECT_TRUE(archive == readFile(made + "/demodat")) << "the rebuilt archive differs from the made one";
    EXPECT_EQ(readFile(rebuilt + "/setup.png"), readFile(made + "/setup.png"));
    const std::vector<unsigned char> shipped = content::readArchive(rebuilt + "/demodat").at("effects/electro.cfx");
    EXPECT_EQ(std::string(shipped.end() - edit.size(), shipped.end()), edit);

    // A truncated and a damaged cache file make their stages run again, to the same bytes.
    const fs::path cache = fs::path(rebuilt) / "content-cache";
    fs::resize_file(cache / "materials.cache", fs::file_size(cache / "materials.cache") / 2);
    std::string effects = readFile((cache / "effects.cache").string());
    effects[effects.size() / 2] ^= 0x01;
    dir.write("rebuilt/content-cache/effects.cache", effects);
    ASSERT_EQ(generate("--content '" + content + "' '" + rebuilt + "'", output), 0) << output;
    EXPECT_EQ(ranStages(output), (std::set<std::string>{"materials", "effects", "check", "archive"})) << output;
    EXPECT_TRUE(readFile(rebuilt + "/demodat") == archive) << "a damaged cache changed the archive";

    // A content folder that is not there is named, and the archive stays.
    EXPECT_NE(generate("--content '" + dir.path() + "nowhere' '" + rebuilt + "'", output), 0);
    EXPECT_NE(output.find("nowhere/materials"), std::string::npos) << output;
    EXPECT_TRUE(readFile(rebuilt + "/demodat") == archive);
}

}  // namespace
