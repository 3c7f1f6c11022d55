// voltaresca-content: writes the data archive "demodat" and the setup dialog's "setup.png" into
// a folder (the build folder, beside the program), from code and from the hand-written files in
// content/. Same sources, same bytes: fixed seeds and fixed time stamps.
//
//   voltaresca-content [--full] [--content DIR] OUTPUT_FOLDER
//
// Each stage keeps what it made in OUTPUT_FOLDER/content-cache/, under a key of everything its
// output depends on: the digest of the code it runs (stage_code.h, made by the build), the
// processor, libraries and fonts the program uses, and for the hand-written stages the files' bytes. A
// later run whose key matches takes the stage's files from there ("kept") instead of making them
// again; the check and the archive always run, and the archive is the same bytes either way.
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/binary.h"
#include "formats/writers.h"
#include "formats/geo_writer.h"
#include "content/check/content_check.h"
#include "content/common/digest.h"
#include "content/common/stage_cache.h"
#include "content/stage_code.h"
#include "content/film/film.h"
#include "content/geometry/models.h"
#include "content/audio/music.h"
#include "content/pictures/pictures.h"
#include "content/pictures/raster.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

const char* const kTop = "voltaresca_data/";
// Directory entries, each before the entries inside it.
const char* const kFolders[] = {"textures/", "textures/credits/", "models/", "materials/", "effects/",
                                "animations/", "properties/", "cameras/", "music/"};
constexpr size_t kArchiveLimit = 24u * 1024u * 1024u;

class Stopwatch {
public:
    void stage(const char* what, const std::string& detail, bool kept = false) {
        const auto now = std::chrono::steady_clock::now();
        std::printf("voltaresca-content: %-22s %s (%s%.1f s)\n", what, detail.c_str(), kept ? "kept, " : "",
                    std::chrono::duration<double>(now - last_).count());
        std::fflush(stdout);
        last_ = now;
    }

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

Bytes toBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes readFile(const fs::path& path) {
    Bytes bytes;
    if (!readWholeFile(path.string(), bytes)) throw std::runtime_error("can't read '" + path.string() + "'");
    return bytes;
}

// The hand-written files of one folder of the content folder with this extension, by archive
// name ("effects/blur.cfx"), read whole.
content::ArchiveEntries handWritten(const fs::path& contentFolder, const std::string& folder,
                                    const std::string& extension) {
    const fs::path dir = contentFolder / folder;
    std::error_code error;
    if (!fs::is_directory(dir, error)) throw std::runtime_error("no folder '" + dir.string() + "'");
    content::ArchiveEntries files;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == extension)
            files[folder + "/" + e.path().filename().string()] = readFile(e.path());
    if (files.empty()) throw std::runtime_error("no '" + extension + "' files in '" + dir.string() + "'");
    return files;
}

// The processor's model and features, which pick the maths library's code paths.
std::string processor() {
    Bytes info;
    readFileStart("/proc/cpuinfo", 64 * 1024, info);
    std::string text(info.begin(), info.end()), found;
    for (const char* field : {"\nmodel name", "\nflags"}) {
        const size_t at = text.find(field);
        if (at != std::string::npos) found += text.substr(at, text.find('\n', at + 1) - at);
    }
    return found;
}

// What every stage's output depends on besides its code and its files: the processor, the
// shared libraries the program runs with (the JPEG, PNG, MP3 and FreeType coders, the maths
// library) and the fonts, each by path, size and modification time, so that an upgrade of one
// is seen.
std::string environmentDigest() {
    std::vector<std::string> paths;
    dl_iterate_phdr([](dl_phdr_info* info, size_t, void* out) {
        if (info->dlpi_name && info->dlpi_name[0] == '/')
            static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
        return 0;
    }, &paths);
    std::error_code error;
    const fs::path fonts = fs::path(content::dejavuFontPath("")).parent_path();
    for (fs::directory_iterator it(fonts, error), end; !error && it != end; it.increment(error))
        paths.push_back(it->path().string());
    std::sort(paths.begin(), paths.end());
    content::Digest digest;
    digest.field(processor());
    for (const std::string& path : paths) {
        struct stat st {};
        digest.field(path);
        if (stat(path.c_str(), &st) == 0)
            digest.field(uint64_t(st.st_size)).field(uint64_t(st.st_mtim.tv_sec)).field(uint64_t(st.st_mtim.tv_nsec));
    }
    return digest.hex();
}

const char* stageCode(const std::string& stage) {
    if (const char* digest = content::stageCodeDigest(stage.c_str())) return digest;
    throw std::logic_error("no code digest for the stage '" + stage + "'");
}

bool alreadyCompressed(const std::string& name) {
    const std::string ext = fs::path(name).extension().string();
    return ext == ".jpg" || ext == ".png" || ext == ".mp3";
}

// Writes the zip: the top folder, then each folder entry followed by the files inside it.
void writeArchive(const std::string& path, const content::ArchiveEntries& entries) {
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) throw std::runtime_error("can't create '" + path + "' (is the folder writable?)");
    zip_fileinfo info{};
    info.tmz_date = {0, 0, 12, 1, 0, 2024};  // 2024-01-01 12:00:00, always
    auto add = [&](const std::string& name, const Bytes* bytes) {
        const bool stored = !bytes || bytes->empty() || alreadyCompressed(name);
        if (zipOpenNewFileInZip(zip, (kTop + name).c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                stored ? 0 : Z_DEFLATED, stored ? 0 : 6) != ZIP_OK ||
            (bytes && !bytes->empty() &&
             zipWriteInFileInZip(zip, bytes->data(), static_cast<unsigned>(bytes->size())) != ZIP_OK) ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            zipClose(zip, nullptr);
            throw std::runtime_error("can't write entry '" + name + "' into '" + path + "' (disk full?)");
        }
    };
    add("", nullptr);
    for (const char* folder : kFolders) {
        add(folder, nullptr);
        for (const auto& [name, bytes] : entries) {
            const std::string parent = name.substr(0, name.find_last_of('/') + 1);
            if (parent == folder && name != folder) add(name, &bytes);
        }
    }
    for (const auto& [name, bytes] : entries)
        if (!name.empty() && name.find('/') == std::string::npos) add(name, &bytes);
    if (zipClose(zip, nullptr) != ZIP_OK) throw std::runtime_error("can't finish '" + path + "'");
}

void addFile(content::ArchiveEntries& entries, const std::string& name, Bytes bytes) {
    if (!entries.emplace(name, std::move(bytes)).second)
        throw std::logic_error("two files want the archive name '" + name + "'");
}

void addFiles(content::ArchiveEntries& entries, content::ArchiveEntries files) {
    for (auto& [name, bytes] : files) addFile(entries, name, std::move(bytes));
}

struct Options {
    std::string outFolder;
    std::string contentFolder = VOLTARESCA_CONTENT_DIR;
    bool full = false;  // every stage runs, whatever the cache holds
};

// Runs the stages in order, each from the cache when its key is there, and puts their files
// into the archive's entries.
class Stages {
public:
    Stages(const Options& options, content::ArchiveEntries& entries)
        : options_(options), cache_(options.outFolder + "/content-cache"), environment_(environmentDigest()),
          entries_(entries) {}

    // The key of a stage: its code, the environment and its input files (name and bytes).
    std::string key(const std::string& stage, const content::ArchiveEntries& inputs = {}) const {
        content::Digest digest;
        digest.field(stage).field(stageCode(stage)).field(environment_).field(uint64_t{inputs.size()});
        for (const auto& [name, bytes] : inputs) digest.field(name).field(std::string(bytes.begin(), bytes.end()));
        return digest.hex();
    }

    std::optional<content::StageRecord> cached(const std::string& stage, const std::string& key) const {
        if (options_.full) return std::nullopt;
        return cache_.load(stage, key);
    }

    // The stage from the cache, or made by `make` (which fills the record) and then cached.
    void run(const char* stage, const std::string& key, const std::function<void(content::StageRecord&)>& make) {
        run(stage, key, cached(stage, key), make);
    }
    // The same, with the cache already looked up.
    void run(const char* stage, const std::string& key, std::optional<content::StageRecord> kept,
             const std::function<void(content::StageRecord&)>& make) {
        if (std::optional<content::StageRecord> record = std::move(kept)) {
            addFiles(entries_, std::move(record->entries));
            watch_.stage(stage, record->detail, true);
            return;
        }
        content::StageRecord record;
        make(record);
        if (!cache_.store(stage, key, record) && !warned_) {
            std::fprintf(stderr, "voltaresca-content: warning: can't write the cache in '%s'; the next run makes these stages again\n",
                         cache_.folder().c_str());
            warned_ = true;
        }
        addFiles(entries_, std::move(record.entries));
        watch_.stage(stage, record.detail);
    }

    Stopwatch& watch() { return watch_; }

private:
    const Options& options_;
    const content::StageCache cache_;
    const std::string environment_;
    content::ArchiveEntries& entries_;
    Stopwatch watch_;
    bool warned_ = false;
};

int run(const Options& options) {
    content::ArchiveEntries entries;
    entries[""];  // the top folder
    for (const char* folder : kFolders) entries[folder];
    // Read first, so that a missing content folder stops the run before anything slow.
    const content::ArchiveEntries materials = handWritten(options.contentFolder, "materials", ".mat");
    const content::ArchiveEntries effects = handWritten(options.contentFolder, "effects", ".cfx");

    Stages stages(options, entries);
    // The tune takes longest; when it is not kept it renders on the second core while the rest is made.
    const std::string musicKey = stages.key("music");
    std::optional<content::StageRecord> keptMusic = stages.cached("music", musicKey);
    std::future<Bytes> tune;
    if (!keptMusic) tune = std::async(std::launch::async, [] { return content::makeDemoTune(); });

    stages.run("pictures", stages.key("pictures"), [](content::StageRecord& r) {
        for (content::PictureFile& p : content::archivePictures()) addFile(r.entries, p.path, std::move(p.bytes));
        r.detail = std::to_string(r.entries.size()) + " files";
    });

    std::optional<geo::GeoModel> factory;
    stages.run("models", stages.key("models"), [&](content::StageRecord& r) {
        factory = geo::buildFactory();
        const std::pair<const char*, geo::GeoModel> models[] = {
            {"factory", *factory},
            {"wheels", geo::buildWheels()},
            {"winda", geo::buildWinda()},
            {"head_body", geo::buildHeadBody()},
            {"head_eyes", geo::buildHeadEyes()},
            {"credits", geo::buildCredits()},
            {"screens", geo::buildScreens()},
            {"believe_screen", geo::buildBelieveScreen()}};
        size_t triangles = 0;
        for (const auto& [name, model] : models) {
            addFile(r.entries, std::string("models/") + name + ".geo", toBytes(encodeGeo(model.meshes)));
            triangles += geo::triangleCount(model);
        }
        r.detail = std::to_string(std::size(models)) + " models, " + std::to_string(triangles) + " triangles";
    });

    stages.run("materials", stages.key("materials", materials), [&](content::StageRecord& r) {
        r.entries = materials;
        r.detail = std::to_string(materials.size()) + " files";
    });
    stages.run("effects", stages.key("effects", effects), [&](content::StageRecord& r) {
        r.entries = effects;
        r.detail = std::to_string(effects.size()) + " files";
    });

    stages.run("timeline", stages.key("timeline"), [&](content::StageRecord& r) {
        if (!factory) factory = geo::buildFactory();  // the models were kept
        const std::vector<content::Shot> shots = content::filmShots();
        addFile(r.entries, "animations/factory.ani", encodeAnimation(content::factoryAnimation(*factory)));
        addFile(r.entries, "animations/wheels.ani", encodeAnimation(content::wheelsAnimation()));
        addFile(r.entries, "animations/winda.ani", encodeAnimation(content::windaAnimation()));
        addFile(r.entries, "animations/cameras.ani", encodeAnimation(content::cameraAnimation(shots)));
        addFile(r.entries, "cameras/cameras.cam", encodeCameras(content::cameraRecords(shots)));
        addFile(r.entries, "properties/props.scr", toBytes(content::propertyScript()));
        r.detail = std::to_string(shots.size()) + " shots, 4 animations, props.scr";
    });

    stages.run("music", musicKey, std::move(keptMusic), [&](content::StageRecord& r) {
        addFile(r.entries, "music/demotune.mp3", tune.get());
        r.detail = std::to_string(r.entries["music/demotune.mp3"].size() / 1024) + " KiB";
    });
    Stopwatch& watch = stages.watch();

    const std::vector<std::string> problems = content::checkContent(entries);
    if (!problems.empty()) {
        for (const std::string& p : problems) std::fprintf(stderr, "voltaresca-content: check: %s\n", p.c_str());
        std::fprintf(stderr, "voltaresca-content: the content check failed; no archive written\n");
        return 1;
    }
    watch.stage("check", "every required name present");

    // Written beside and renamed, so that a failed run never leaves half an archive behind.
    const std::string archive = options.outFolder + "/demodat", partial = archive + ".partial";
    writeArchive(partial, entries);
    const uintmax_t size = fs::file_size(partial);
    if (size > kArchiveLimit) {
        fs::remove(partial);
        std::fprintf(stderr, "voltaresca-content: the archive would be %ju bytes, over the %zu limit\n", size, kArchiveLimit);
        return 1;
    }
    fs::rename(partial, archive);
    const Bytes setup = content::setupPicture();
    if (!writeWholeFile(options.outFolder + "/setup.png", setup))
        throw std::runtime_error("can't write '" + options.outFolder + "/setup.png'");
    watch.stage("archive", archive + ", " + std::to_string(size / 1024) + " KiB; setup.png");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* const usage =
        "usage: voltaresca-content [--full] [--content DIR] OUTPUT_FOLDER\n"
        "Generates the data archive demodat and setup.png into OUTPUT_FOLDER.\n"
        "Stages whose code and files are unchanged since the last run are kept from\n"
        "OUTPUT_FOLDER/content-cache/ (their lines say \"kept\").\n"
        "  --full         make every stage again, whatever the cache holds\n"
        "  --content DIR  the hand-written materials/ and effects/ (default " VOLTARESCA_CONTENT_DIR ")\n";
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--full") {
            options.full = true;
        } else if (arg == "--content" && i + 1 < argc) {
            options.contentFolder = argv[++i];
        } else if (arg.empty() || arg[0] == '-' || !options.outFolder.empty()) {
            std::fprintf(stderr, "voltaresca-content: unexpected argument '%s'\n", arg.c_str());
            std::fputs(usage, stderr);
            return 2;
        } else {
            options.outFolder = arg;
        }
    }
    if (options.outFolder.empty()) {
        std::fputs(usage, stderr);
        return 2;
    }
    try {
        return run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "voltaresca-content: %s\n", e.what());
        return 1;
    }
}
