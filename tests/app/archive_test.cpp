#include <gtest/gtest.h>

#include <filesystem>

#include "app/archive.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/zip_writer.h"

namespace fs = std::filesystem;

namespace {

// Every file below a folder, relative to it, so a test can prove nothing else changed.
std::vector<std::string> treeOf(const std::string& root) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root))
        names.push_back(fs::relative(e.path(), root).generic_string() + (e.is_directory() ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

struct Extraction : ::testing::Test {
    TempDir dir;
    std::string target() const { return dir.path() + "target/"; }
    std::string archive() const { return dir.path() + "demodat"; }
    void SetUp() override { fs::create_directory(target()); }
};

TEST_F(Extraction, NestedFoldersEmptyEntriesAndOverwrite) {
    dir.write("target/voltaresca_data/textures/mask.png", std::string("old contents that are longer"));
    ASSERT_TRUE(writeZip(archive(), {{"voltaresca_data/", ""},
                                     {"voltaresca_data/textures/", ""},
                                     {"voltaresca_data/textures/mask.png", "PNG!"},
                                     {"voltaresca_data/empty.txt", ""},
                                     {"voltaresca_data/models/a.geo", "orphan"}}));
    extractArchive(target(), archive());
    EXPECT_EQ(readFile(target() + "voltaresca_data/textures/mask.png"), "PNG!");
    EXPECT_TRUE(fs::is_regular_file(target() + "voltaresca_data/empty.txt"));
    EXPECT_EQ(fs::file_size(target() + "voltaresca_data/empty.txt"), 0u);
    // A file whose folder has no entry of its own is not written, and no folder is made for it.
    EXPECT_FALSE(fs::exists(target() + "voltaresca_data/models"));
}

TEST_F(Extraction, EntriesThatClimbOutAreSkipped) {
    const std::string outside = dir.path() + "outside.txt";
    dir.write("outside.txt", std::string("keep me"));
    ASSERT_TRUE(writeZip(archive(), {{"voltaresca_data/", ""},
                                     {"voltaresca_data/../outside.txt", "overwritten"},
                                     {"../outside.txt", "overwritten"},
                                     {"/tmp/voltaresca-absolute-entry", "x"},
                                     {"C:/evil.txt", "x"},
                                     {"voltaresca_data/..\\..\\outside.txt", "x"},
                                     {"voltaresca_data/fine.txt", "fine"}}));
    const auto before = treeOf(dir.path());
    extractArchive(target(), archive());
    EXPECT_EQ(readFile(outside), "keep me");
    EXPECT_FALSE(fs::exists("/tmp/voltaresca-absolute-entry"));
    EXPECT_EQ(readFile(target() + "voltaresca_data/fine.txt"), "fine");
    auto after = treeOf(dir.path());
    after.erase(std::remove_if(after.begin(), after.end(),
                               [](const std::string& n) { return n.rfind("target/", 0) == 0; }),
                after.end());
    auto expected = before;
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [](const std::string& n) { return n.rfind("target/", 0) == 0; }),
                   expected.end());
    EXPECT_EQ(after, expected);
}

TEST_F(Extraction, MissingAndTruncatedArchives) {
    extractArchive(target(), dir.path() + "no-such-archive");
    EXPECT_TRUE(treeOf(target()).empty());

    std::string big(200000, 'a');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + (i * 7919) % 26);
    ASSERT_TRUE(writeZip(archive(), {{"voltaresca_data/", ""}, {"voltaresca_data/big.bin", big}}));
    const std::string whole = readFile(archive());
    for (size_t cut : {whole.size() / 2, whole.size() - 30, size_t(40), size_t(3)}) {
        dir.write("cut.zip", whole.substr(0, cut));
        fs::remove_all(target());
        fs::create_directory(target());
        extractArchive(target(), dir.path() + "cut.zip");
        // Whatever survives, no file holds bytes that were not read from the archive.
        const std::string path = target() + "voltaresca_data/big.bin";
        if (fs::exists(path)) {
            EXPECT_EQ(readFile(path), big) << "cut at " << cut;
        }
    }
}

// Sets the uncompressed size of entry `index` in its local header and the central directory.
void lieAboutSize(std::string& zip, int index, uint32_t size) {
    for (const auto& [signature, offset] : {std::pair<const char*, size_t>{"PK\x03\x04", 22}, {"PK\x01\x02", 24}}) {
        size_t at = 0;
        for (int i = 0; i <= index; ++i) at = zip.find(std::string(signature, 4), i == 0 ? 0 : at + 4);
        ASSERT_NE(at, std::string::npos);
        for (int k = 0; k < 4; ++k) zip[at + offset + k] = static_cast<char>((size >> (8 * k)) & 0xff);
    }
}

TEST_F(Extraction, LongNamesAndLyingSizesStayInBounds) {
    const std::string longName = "voltaresca_data/" + std::string(3000, 'n');
    ASSERT_TRUE(writeZip(archive(), {{"voltaresca_data/", ""},
                                     {longName, "long"},
                                     {"voltaresca_data/huge.bin", "claims 4 GB"},
                                     {"voltaresca_data/small.bin", "claims 1 byte"},
                                     {"voltaresca_data/fine.txt", "fine"}}));
    std::string bytes = readFile(archive());
    lieAboutSize(bytes, 2, 0xfffffff0u);
    lieAboutSize(bytes, 3, 1);
    dir.write("demodat", bytes);
    LogCapture log(getLogger("Voltaresca"));
    extractArchive(target(), archive());
    // The name is read whole: the file system refuses it, and the log says which.
    EXPECT_TRUE(log.contains("couldn't create '" + target() + "voltaresca_data/nnnn")) << log.all();
    EXPECT_TRUE(log.contains("archive entry 'voltaresca_data/huge.bin': the archive is truncated or damaged")) << log.all();
    EXPECT_TRUE(log.contains("archive entry 'voltaresca_data/small.bin': the archive is truncated or damaged")) << log.all();
    EXPECT_FALSE(fs::exists(target() + "voltaresca_data/huge.bin"));
    EXPECT_FALSE(fs::exists(target() + "voltaresca_data/small.bin"));
    EXPECT_EQ(readFile(target() + "voltaresca_data/fine.txt"), "fine");
}

TEST(EntryNames, SafeAndUnsafe) {
    EXPECT_TRUE(isSafeEntryName("voltaresca_data/textures/mask.png"));
    EXPECT_TRUE(isSafeEntryName("voltaresca_data/"));
    EXPECT_TRUE(isSafeEntryName("a..b/c"));
    EXPECT_FALSE(isSafeEntryName(""));
    EXPECT_FALSE(isSafeEntryName("/etc/passwd"));
    EXPECT_FALSE(isSafeEntryName("\\windows"));
    EXPECT_FALSE(isSafeEntryName("D:file"));
    EXPECT_FALSE(isSafeEntryName(".."));
    EXPECT_FALSE(isSafeEntryName("a/../../b"));
    EXPECT_FALSE(isSafeEntryName("a\\..\\b"));
}

}  // namespace
