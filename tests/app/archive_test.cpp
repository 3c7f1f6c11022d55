#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "app/archive.h"
#include "base/binary.h"
#include "base/random.h"
#include "platform/platform.h"
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
                                     {"voltaresca_data/../\x1b]0;owned\x07\x1b[2J", "x"},
                                     {"voltaresca_data/AUX.png", "device"},
                                     {"voltaresca_data/com1/", ""},
                                     {"voltaresca_data/Nul .txt", "device"},
                                     {"voltaresca_data/fine.txt", "fine"}}));
    const auto before = treeOf(dir.path());
    LogCapture log(getLogger("Voltaresca"));
    extractArchive(target(), archive());
    // Names Windows keeps for devices are refused everywhere, so an archive unpacks the same on
    // every system; the log shows a name's control characters escaped, never raw.
    for (const char* device : {"AUX.png", "com1", "Nul .txt"}) {
        EXPECT_FALSE(fs::exists(target() + "voltaresca_data/" + device)) << device;
        EXPECT_TRUE(log.contains("skipped archive entry 'voltaresca_data/" + std::string(device))) << log.all();
    }
    EXPECT_TRUE(log.contains("Windows keeps the name 'AUX.png' for a device")) << log.all();
    EXPECT_TRUE(log.contains("'voltaresca_data/../\\x1b]0;owned\\x07\\x1b[2J'")) << log.all();
    for (const std::string& line : log.lines)
        EXPECT_EQ(std::count_if(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }), 0) << line;
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

uint32_t readU32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
    return v;
}

TEST_F(Extraction, MissingAndTruncatedArchives) {
    LogCapture log(getLogger("Voltaresca"));
    auto extractFresh = [&](const std::string& bytes) {
        dir.write("cut.zip", bytes);
        fs::remove_all(target());
        fs::create_directory(target());
        extractArchive(target(), dir.path() + "cut.zip");
    };
    extractArchive(target(), dir.path() + "no-such-archive");
    EXPECT_TRUE(treeOf(target()).empty());
    EXPECT_TRUE(log.contains("couldn't open archive '" + dir.path() + "no-such-archive'")) << log.all();

    // Random bytes do not compress, so the entry's data is as long as the entry and a cut or
    // a flipped byte inside it lands in data the extraction must read. It is the last entry,
    // so moving the directory does not move any other entry.
    Random random(15);
    std::string big(200000, '\0');
    for (char& c : big) c = static_cast<char>(random.next() >> 3);
    ASSERT_TRUE(writeZip(archive(), {{"voltaresca_data/", ""}, {"voltaresca_data/before.txt", "before"}, {"voltaresca_data/big.bin", big}}));
    const std::string whole = readFile(archive());
    const std::string bigPath = target() + "voltaresca_data/big.bin";

    // Cut before the directory at the end: the archive does not open, nothing is written.
    for (size_t cut : {whole.size() / 2, whole.size() - 30, size_t(40), size_t(3)}) {
        extractFresh(whole.substr(0, cut));
        EXPECT_TRUE(treeOf(target()).empty()) << "cut at " << cut;
    }

    const size_t header = whole.rfind(std::string("PK\x03\x04", 4));
    ASSERT_NE(header, std::string::npos);
    const size_t data = header + 30 + (readU32(whole, header + 26) & 0xffff) + (readU32(whole, header + 28) & 0xffff);
    const size_t directory = readU32(whole, whole.size() - 22 + 16);
    ASSERT_GT(directory, data + 150000) << "the entry compressed: its data is not random enough";
    const std::string damaged = "archive entry 'voltaresca_data/big.bin': the archive is truncated or damaged";

    // One flipped byte: the CRC fails when the entry closes.
    std::string flipped = whole;
    flipped[data + 100000] = static_cast<char>(flipped[data + 100000] ^ 0x20);
    extractFresh(flipped);
    EXPECT_FALSE(fs::exists(bigPath));
    EXPECT_EQ(readFile(target() + "voltaresca_data/before.txt"), "before");
    EXPECT_TRUE(log.contains(damaged)) << log.all();

    // Cut inside the data with the directory kept (and its offset mended): a short read.
    std::string cut = whole.substr(0, data + 100000) + whole.substr(directory);
    const uint32_t moved = static_cast<uint32_t>(data + 100000);
    for (int k = 0; k < 4; ++k) cut[cut.size() - 22 + 16 + k] = static_cast<char>((moved >> (8 * k)) & 0xff);
    log.lines.clear();
    extractFresh(cut);
    EXPECT_FALSE(fs::exists(bigPath));
    EXPECT_EQ(readFile(target() + "voltaresca_data/before.txt"), "before");
    EXPECT_TRUE(log.contains(damaged)) << log.all();
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

TEST_F(Extraction, EntriesAndTheWholeArchiveStayWithinTheirCaps) {
    // The program's own cap: a small archive that inflates past it writes nothing.
    ASSERT_TRUE(writeZip(archive(), {{"voltaresca_data/", ""},
                                     {"voltaresca_data/bomb.bin", std::string(kMaxContentFileBytes + 1, '\0')},
                                     {"voltaresca_data/fine.txt", "fine"}}));
    ASSERT_LT(fs::file_size(archive()), kMaxContentFileBytes / 100);
    LogCapture log(getLogger("Voltaresca"));
    EXPECT_TRUE(extractArchive(target(), archive()));
    EXPECT_FALSE(fs::exists(target() + "voltaresca_data/bomb.bin"));
    EXPECT_EQ(readFile(target() + "voltaresca_data/fine.txt"), "fine");
    EXPECT_TRUE(log.contains("skipped archive entry 'voltaresca_data/bomb.bin': it unpacks to more than 64 MiB")) << log.all();

    // Smaller caps: each entry is counted as it inflates, and the archive stops at the total.
    const std::string piece(800, 'p');
    ASSERT_TRUE(writeZip(archive(), {{"voltaresca_data/", ""},
                                     {"voltaresca_data/a.bin", piece},
                                     {"voltaresca_data/big.bin", std::string(5000, 'b')},
                                     {"voltaresca_data/b.bin", piece},
                                     {"voltaresca_data/c.bin", piece},
                                     {"voltaresca_data/d.bin", piece}}));
    log.lines.clear();
    ArchiveLimits limits;
    limits.entryBytes = 1000;
    limits.totalBytes = 3000;
    EXPECT_FALSE(extractArchive(target(), archive(), limits));
    EXPECT_EQ(readFile(target() + "voltaresca_data/a.bin"), piece);
    EXPECT_EQ(readFile(target() + "voltaresca_data/b.bin"), piece);
    for (const char* refused : {"big.bin", "c.bin", "d.bin"})
        EXPECT_FALSE(fs::exists(target() + "voltaresca_data/" + refused)) << refused;
    EXPECT_TRUE(log.contains("skipped archive entry 'voltaresca_data/big.bin': it unpacks to more than 1000 bytes")) << log.all();
    EXPECT_TRUE(log.contains("unpacks to more than 3000 bytes in all, the most an archive may hold; unpacking stopped at "
                             "archive entry 'voltaresca_data/c.bin'")) << log.all();
}

// Files read whole at the start (effects, the property script, cameras) and the reload's
// comparison: regular files only, the same cap, compared piece by piece.
TEST(ContentFiles, ReadWithinTheCapAndComparedInPieces) {
    TempDir dir;
    const std::string big = dir.write("big.cfx", std::string("x"));
    fs::resize_file(big, kMaxContentFileBytes + 1);  // sparse: nothing is written
    std::string text;
    FailureReasons failures;
    EXPECT_FALSE(readWholeFile(big, text));
    EXPECT_TRUE(text.empty());
    const std::vector<std::string> reasons = failures.take();
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_NE(reasons[0].find("'" + big + "' holds more than 64 MiB"), std::string::npos) << reasons[0];
    fs::resize_file(big, kMaxContentFileBytes);
    EXPECT_TRUE(readWholeFile(big, text));
    EXPECT_EQ(text.size(), kMaxContentFileBytes);

    std::string bytes(200000, 'a');
    const std::string a = dir.write("a", bytes), same = dir.write("same", bytes);
    bytes.back() = 'b';
    const std::string late = dir.write("late", bytes), shorter = dir.write("shorter", bytes.substr(0, 199999));
    EXPECT_TRUE(sameFileBytes(a, same));
    EXPECT_FALSE(sameFileBytes(a, late));
    EXPECT_FALSE(sameFileBytes(a, shorter));
    EXPECT_FALSE(sameFileBytes(shorter, a));
    EXPECT_FALSE(sameFileBytes(a, dir.path() + "missing"));
}

#ifndef _WIN32
// A pipe in the archive's place (or a content file's) is refused at once, not waited on.
TEST_F(Extraction, APipeIsNoArchive) {
    ASSERT_EQ(mkfifo(archive().c_str(), 0600), 0);
    LogCapture log(getLogger("Voltaresca"));
    auto unpacked = std::async(std::launch::async, [&] { return extractArchive(target(), archive()); });
    auto read = std::async(std::launch::async, [&] {
        std::string text;
        return readWholeFile(archive(), text);
    });
    const bool unblocked = unpacked.wait_for(std::chrono::seconds(5)) == std::future_status::ready &&
                           read.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!unblocked) {
        for (int i = 0; i < 2; ++i) std::fclose(std::fopen(archive().c_str(), "wb"));  // lets the opens go on
        FAIL() << "opening a pipe waited for a writer";
    }
    EXPECT_FALSE(unpacked.get());
    EXPECT_FALSE(read.get());
    EXPECT_TRUE(log.contains("couldn't open archive '" + archive() + "' (it is not there, or not a file)")) << log.all();
}
#endif

#ifdef _WIN32
// A user whose name lies outside the system's code page: the temporary folder's path holds
// letters the code page lacks, and every step from the private folder to the unpacked files must
// still reach them (paths are UTF-8 throughout).
TEST(WindowsPaths, ATemporaryFolderOutsideTheCodePage) {
    const auto wide = [](const std::string& utf8) {
        std::wstring text(utf8.size() + 1, L'\0');
        text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(),
                                                            static_cast<int>(text.size())) - 1));
        return text;
    };
    const std::string temp = platform::tempDirectory() + "voltaresca-\xD0\x96\xD1\x83\xD0\xBA-\xCE\xA9-\xE4\xB8\xAD\\";
    ASSERT_TRUE(CreateDirectoryW(wide(temp).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    wchar_t usualTmp[MAX_PATH] = {}, usualTemp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", usualTmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", usualTemp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", wide(temp).c_str());
    SetEnvironmentVariableW(L"TEMP", wide(temp).c_str());

    EXPECT_EQ(platform::tempDirectory(), temp);
    const std::string folder = platform::makePrivateDirectory(platform::tempDirectory(), "voltaresca-");
    EXPECT_FALSE(folder.empty());
    if (!folder.empty()) {
        EXPECT_TRUE(writeZip(folder + "demodat", {{"voltaresca_data/", ""}, {"voltaresca_data/a.txt", "unpacked"}}));
        EXPECT_TRUE(extractArchive(folder, folder + "demodat"));
        std::string text;
        EXPECT_TRUE(readWholeFile(folder + "voltaresca_data\\a.txt", text));
        EXPECT_EQ(text, "unpacked");
        EXPECT_EQ(platform::listFiles(folder + "voltaresca_data\\*.txt"), std::vector<std::string>{"a.txt"});
        EXPECT_TRUE(platform::removeTree(folder));
    }
    SetEnvironmentVariableW(L"TMP", usualTmp[0] ? usualTmp : nullptr);
    SetEnvironmentVariableW(L"TEMP", usualTemp[0] ? usualTemp : nullptr);
    EXPECT_TRUE(RemoveDirectoryW(wide(temp).c_str()));
}
#endif

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
    for (const char* device : {"CON", "prn", "Aux.png", "a/nul.tar.gz", "COM1", "com9.txt/x", "LPT0", "lpt\xC2\xB9",
                               "conout$", "NUL .txt"})
        EXPECT_FALSE(isSafeEntryName(device)) << device;
    for (const char* file : {"CONSOLE", "com10", "lpt", "nul_x.png", "aux-file", "xcon"})
        EXPECT_TRUE(isSafeEntryName(file)) << file;
    EXPECT_EQ(printableName("a\x1b[2J\x7f\xC2\x9B\xC3\xA9"), "a\\x1b[2J\\x7f\\xc2\\x9b\xC3\xA9");
}

}  // namespace
