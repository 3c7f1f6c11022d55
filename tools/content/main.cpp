// voltaresca-content: writes the data archive "demodat" and the setup dialog's "setup.png" into
// a folder (the build folder, beside the program), from code and from the hand-written files in
// content/. Same sources, same bytes: fixed seeds and fixed time stamps.
//
//   voltaresca-content OUTPUT_FOLDER
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <future>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/binary.h"
#include "formats/writers.h"
#include "formats/geo_writer.h"
#include "content/check/content_check.h"
#include "content/film/film.h"
#include "content/geometry/models.h"
#include "content/audio/music.h"
#include "content/pictures/pictures.h"

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
    void stage(const char* what, const std::string& detail) {
        const auto now = std::chrono::steady_clock::now();
        std::printf("voltaresca-content: %-22s %s (%.1f s)\n", what, detail.c_str(),
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

// The hand-written files of one content/ folder with this extension, in name order.
std::vector<fs::path> handWritten(const std::string& folder, const std::string& extension) {
    std::vector<fs::path> files;
    const fs::path dir = fs::path(VOLTARESCA_CONTENT_DIR) / folder;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == extension) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    if (files.empty()) throw std::runtime_error("no '" + extension + "' files in '" + dir.string() + "'");
    return files;
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

int run(const std::string& outFolder) {
    Stopwatch watch;
    // The tune takes longest; it renders on the second core while the rest is made.
    std::future<Bytes> tune = std::async(std::launch::async, [] { return content::makeDemoTune(); });

    content::ArchiveEntries entries;
    entries[""];  // the top folder
    for (const char* folder : kFolders) entries[folder];

    size_t pictures = 0;
    for (content::PictureFile& p : content::archivePictures()) {
        addFile(entries, p.path, std::move(p.bytes));
        ++pictures;
    }
    watch.stage("pictures", std::to_string(pictures) + " files");

    const geo::GeoModel factory = geo::buildFactory();
    const std::pair<const char*, geo::GeoModel> models[] = {
        {"factory", factory},
        {"wheels", geo::buildWheels()},
        {"winda", geo::buildWinda()},
        {"head_body", geo::buildHeadBody()},
        {"head_eyes", geo::buildHeadEyes()},
        {"credits", geo::buildCredits()},
        {"screens", geo::buildScreens()},
        {"believe_screen", geo::buildBelieveScreen()}};
    size_t triangles = 0;
    for (const auto& [name, model] : models) {
        addFile(entries, std::string("models/") + name + ".geo", toBytes(encodeGeo(model.meshes)));
        triangles += geo::triangleCount(model);
    }
    watch.stage("models", std::to_string(std::size(models)) + " models, " + std::to_string(triangles) + " triangles");

    size_t handFiles = 0;
    for (const fs::path& p : handWritten("materials", ".mat")) addFile(entries, "materials/" + p.filename().string(), readFile(p)), ++handFiles;
    for (const fs::path& p : handWritten("effects", ".cfx")) addFile(entries, "effects/" + p.filename().string(), readFile(p)), ++handFiles;
    watch.stage("materials and effects", std::to_string(handFiles) + " files");

    const std::vector<content::Shot> shots = content::filmShots();
    addFile(entries, "animations/factory.ani", encodeAnimation(content::factoryAnimation(factory)));
    addFile(entries, "animations/wheels.ani", encodeAnimation(content::wheelsAnimation()));
    addFile(entries, "animations/winda.ani", encodeAnimation(content::windaAnimation()));
    addFile(entries, "animations/cameras.ani", encodeAnimation(content::cameraAnimation(shots)));
    addFile(entries, "cameras/cameras.cam", encodeCameras(content::cameraRecords(shots)));
    addFile(entries, "properties/props.scr", toBytes(content::propertyScript()));
    watch.stage("timeline", std::to_string(shots.size()) + " shots, 4 animations, props.scr");

    addFile(entries, "music/demotune.mp3", tune.get());
    watch.stage("music", std::to_string(entries["music/demotune.mp3"].size() / 1024) + " KiB");

    const std::vector<std::string> problems = content::checkContent(entries);
    if (!problems.empty()) {
        for (const std::string& p : problems) std::fprintf(stderr, "voltaresca-content: check: %s\n", p.c_str());
        std::fprintf(stderr, "voltaresca-content: the content check failed; no archive written\n");
        return 1;
    }
    watch.stage("check", "every required name present");

    // Written beside and renamed, so that a failed run never leaves half an archive behind.
    const std::string archive = outFolder + "/demodat", partial = archive + ".partial";
    writeArchive(partial, entries);
    const uintmax_t size = fs::file_size(partial);
    if (size > kArchiveLimit) {
        fs::remove(partial);
        std::fprintf(stderr, "voltaresca-content: the archive would be %ju bytes, over the %zu limit\n", size, kArchiveLimit);
        return 1;
    }
    fs::rename(partial, archive);
    const Bytes setup = content::setupPicture();
    if (!writeWholeFile(outFolder + "/setup.png", setup)) throw std::runtime_error("can't write '" + outFolder + "/setup.png'");
    watch.stage("archive", archive + ", " + std::to_string(size / 1024) + " KiB; setup.png");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* const usage =
        "usage: voltaresca-content OUTPUT_FOLDER\n"
        "Generates the data archive demodat and setup.png into OUTPUT_FOLDER.\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(usage, stderr);
        return 2;
    }
    try {
        return run(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "voltaresca-content: %s\n", e.what());
        return 1;
    }
}
