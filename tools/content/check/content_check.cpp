// The content check over an archive's entries.
#include "content/check/content_check.h"

#include <unzip.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <stdexcept>

#include "anim/keyframes.h"
#include "anim/properties.h"

namespace content {

namespace {

const char* const kTopFolder = "voltaresca_data/";

const char* const kModels[] = {"factory", "wheels", "winda", "head_body", "head_eyes", "credits", "screens", "believe_screen"};
const char* const kAnimations[] = {"factory", "winda", "wheels", "cameras"};
const char* const kEffects[] = {"std_lighting", "std_lighting_glow_shadow", "shadow_mapping", "blur",
                                "post_process", "electro", "std_lighting_screens", "early_z_effect"};
const char* const kTextures[] = {"mask", "mask_big", "end", "tv_noise1", "tv_noise2", "tv_noise3", "believe",
                                 "believe_we", "believe_believe", "believe_in", "believe_you"};
const char* const kFiles[] = {"loader.jpg", "properties/props.scr", "cameras/cameras.cam", "music/demotune.mp3"};
const char* const kFolders[] = {"textures/", "textures/credits/", "models/", "materials/", "effects/",
                                "animations/", "properties/", "cameras/", "music/"};
constexpr size_t kMinimumCredits = 6;
constexpr size_t kMonitors = 6;

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The asset name of a file: no folder, no last extension.
std::string assetName(const std::string& file) {
    std::string name = file.substr(file.find_last_of("/\\") + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

// Names of the files directly in `folder` ("textures/") with one of the extensions.
std::set<std::string> assetsIn(const ArchiveEntries& entries, const std::string& folder,
                               const std::vector<std::string>& extensions) {
    std::set<std::string> names;
    for (const auto& [path, bytes] : entries) {
        if (!startsWith(path, folder) || path.find('/', folder.size()) != std::string::npos) continue;
        for (const std::string& ext : extensions)
            if (endsWith(path, "." + ext)) names.insert(assetName(path));
    }
    return names;
}

// Little-endian reads that stop at the end of the data.
class Reader {
public:
    explicit Reader(const std::vector<unsigned char>& data) : data_(data) {}
    bool int32(int32_t& out) {
        if (data_.size() - pos_ < 4) return false;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
        pos_ += 4;
        out = static_cast<int32_t>(v);
        return true;
    }
    bool string(std::string& out) {
        int32_t n = 0;
        if (!int32(n) || n < 0 || data_.size() - pos_ < static_cast<size_t>(n)) return false;
        out.assign(reinterpret_cast<const char*>(data_.data() + pos_), static_cast<size_t>(n));
        pos_ += static_cast<size_t>(n);
        return true;
    }
    bool skip(size_t n) {
        if (data_.size() - pos_ < n) return false;
        pos_ += n;
        return true;
    }

private:
    const std::vector<unsigned char>& data_;
    size_t pos_ = 0;
};

struct ModelSummary {
    bool ok = false;
    size_t parts = 0;
    std::set<std::string> materials;
};

ModelSummary summariseModel(const std::vector<unsigned char>& bytes) {
    ModelSummary s;
    Reader in(bytes);
    int32_t meshes = 0;
    if (!in.int32(meshes) || meshes < 0) return s;
    for (int32_t m = 0; m < meshes; ++m) {
        int32_t nodeId = 0, parts = 0;
        std::string name;
        if (!in.int32(nodeId) || !in.string(name) || !in.int32(parts) || parts < 0) return s;
        for (int32_t p = 0; p < parts; ++p) {
            std::string material;
            int32_t vertices = 0;
            if (!in.string(material) || !in.int32(vertices) || vertices < 0 || !in.skip(static_cast<size_t>(vertices) * 44))
                return s;
            if (!material.empty()) s.materials.insert(material);
            ++s.parts;
        }
    }
    s.ok = true;
    return s;
}

// The values of attribute `attribute` in an XML text, in order.
std::vector<std::string> attributeValues(const std::string& xml, const std::string& attribute) {
    std::vector<std::string> values;
    const std::string key = attribute + "=\"";
    for (size_t at = xml.find(key); at != std::string::npos; at = xml.find(key, at + 1)) {
        if (at > 0 && xml[at - 1] != ' ' && xml[at - 1] != '\t' && xml[at - 1] != '\n') continue;
        const size_t from = at + key.size(), to = xml.find('"', from);
        if (to == std::string::npos) break;
        values.push_back(xml.substr(from, to - from));
    }
    return values;
}

template <class T>
bool trackRange(AnimProperty* track, float lo, float hi, float& worst) {
    IKeyframesProvider<T>* provider = track->provider<T>();
    if (!provider) return false;
    bool inside = true;
    for (float t = 0.0f; t <= 240000.0f; t += 10.0f) {
        const float f = static_cast<float>(provider->valueAt(t));
        if (!(f >= lo && f <= hi)) {
            if (inside || std::fabs(f) > std::fabs(worst)) worst = f;
            inside = false;
        }
    }
    return inside;
}

void checkProperties(const ArchiveEntries& entries, std::vector<std::string>& problems) {
    const auto script = entries.find("properties/props.scr");
    if (script == entries.end()) return;  // reported with the files
    PropertyRegistry registry;
    if (!registry.parse(std::string(script->second.begin(), script->second.end()), "properties/props.scr"))
        problems.push_back("properties/props.scr: the script doesn't parse to its \"end\"");
    struct Want {
        const char* name;
        bool isInt;
        float lo, hi;
    };
    const Want wants[] = {{"shake", false, -0.5f, 2.0f},
                          {"electro_noise", false, 0.0f, 1.0f},
                          {"images.end", false, 0.0f, 1.0f},
                          {"believe_screen.letters", false, 0.0f, 723.0f},
                          {"believe_screen.screen_index", true, 0.0f, 4.0f}};
    for (const Want& w : wants) {
        EditableProperty* found = registry.find(w.name);
        AnimProperty* track = registry.findTrack(w.name);
        if (!found) {
            problems.push_back(std::string("property '") + w.name + "' is missing from properties/props.scr");
            continue;
        }
        if (!track) {
            problems.push_back(std::string("property '") + w.name + "' must be an AnimProperty (a keyed track)");
            continue;
        }
        const bool typeOk = w.isInt ? (track->type == 2 || track->type == 9) : track->type == 3;
        if (!typeOk) {
            problems.push_back(std::string("property '") + w.name + "' has type " + std::to_string(track->type) +
                               (w.isInt ? ", wants an int track (2 or 9)" : ", wants a float track (3)"));
            continue;
        }
        float worst = 0.0f;
        const bool inside = w.isInt ? trackRange<int>(track, w.lo, w.hi, worst) : trackRange<float>(track, w.lo, w.hi, worst);
        if (!inside)
            problems.push_back(std::string("property '") + w.name + "' leaves its range " + std::to_string(w.lo) + " to " +
                               std::to_string(w.hi) + " (reaches " + std::to_string(worst) + ")");
    }
}

void checkCameras(const ArchiveEntries& entries, std::vector<std::string>& problems) {
    const auto file = entries.find("cameras/cameras.cam");
    if (file == entries.end()) return;  // reported with the files
    const std::vector<unsigned char>& data = file->second;
    Reader in(data);
    int32_t count = 0;
    if (!in.int32(count) || count < 1) {
        problems.push_back("cameras/cameras.cam holds no camera");
        return;
    }
    // Each record: node id, then for the field of view and the second scalar a flag byte and
    // either one float or a keyed track (count, then time and value per key).
    size_t offset = 4;
    for (int32_t i = 0; i < count; ++i) {
        Reader record(data);
        if (!record.skip(offset) || !record.skip(4)) {
            problems.push_back("cameras/cameras.cam is cut short at camera " + std::to_string(i));
            return;
        }
        offset += 4;
        for (int scalar = 0; scalar < 2; ++scalar) {
            if (offset >= data.size()) {
                problems.push_back("cameras/cameras.cam is cut short at camera " + std::to_string(i));
                return;
            }
            const bool keyed = data[offset] != 0;
            offset += 1;
            Reader value(data);
            int32_t keys = 0;
            if (!value.skip(offset) || (keyed && (!value.int32(keys) || keys < 0 || !value.skip(static_cast<size_t>(keys) * 8))) ||
                (!keyed && !value.skip(4))) {
                problems.push_back("cameras/cameras.cam is cut short at camera " + std::to_string(i));
                return;
            }
            offset += keyed ? 4 + static_cast<size_t>(keys) * 8 : 4;
        }
    }
}

}  // namespace

std::vector<std::string> checkContent(const ArchiveEntries& entries) {
    std::vector<std::string> problems;
    if (!entries.count("")) problems.push_back("the archive has no directory entry 'voltaresca_data/'");
    for (const char* folder : kFolders)
        if (!entries.count(folder)) problems.push_back(std::string("the archive has no directory entry '") + kTopFolder + folder + "'");
    for (const char* file : kFiles)
        if (!entries.count(file)) problems.push_back(std::string("file '") + file + "' is missing");

    const std::set<std::string> models = assetsIn(entries, "models/", {"geo"});
    const std::set<std::string> animations = assetsIn(entries, "animations/", {"ani"});
    const std::set<std::string> effects = assetsIn(entries, "effects/", {"cfx"});
    const std::set<std::string> materials = assetsIn(entries, "materials/", {"mat"});
    const std::set<std::string> textures = assetsIn(entries, "textures/", {"png", "jpg"});
    for (const char* m : kModels)
        if (!models.count(m)) problems.push_back(std::string("model '") + m + "' is missing (models/" + m + ".geo)");
    for (const char* a : kAnimations)
        if (!animations.count(a)) problems.push_back(std::string("animation '") + a + "' is missing (animations/" + a + ".ani)");
    for (const char* e : kEffects)
        if (!effects.count(e)) problems.push_back(std::string("effect '") + e + "' is missing (effects/" + e + ".cfx)");
    for (const char* t : kTextures)
        if (!textures.count(t)) problems.push_back(std::string("texture '") + t + "' is missing (textures/" + t + ".png or .jpg)");
    const size_t credits = assetsIn(entries, "textures/credits/", {"jpg"}).size();
    if (credits < kMinimumCredits)
        problems.push_back("textures/credits/ holds " + std::to_string(credits) + " pictures, wants at least " +
                           std::to_string(kMinimumCredits));

    // Materials: the registry name is the file name; glow is told by the "Name" attribute, so
    // the two must agree. Every texture named must exist.
    for (const auto& [path, bytes] : entries) {
        if (!startsWith(path, "materials/") || !endsWith(path, ".mat")) continue;
        const std::string xml(bytes.begin(), bytes.end());
        const std::string name = assetName(path);
        const std::vector<std::string> names = attributeValues(xml, "Name");
        if (names.empty() || names.front() != name)
            problems.push_back("material " + path + ": its Name attribute is '" + (names.empty() ? "" : names.front()) +
                               "', wants '" + name + "' (the file name)");
        for (const std::string& file : attributeValues(xml, "File"))
            if (!file.empty() && !textures.count(assetName(file)))
                problems.push_back("material '" + name + "' names texture '" + file + "', which is missing from textures/");
    }

    // Models: every part's material exists; "screens" has one part per monitor.
    for (const auto& [path, bytes] : entries) {
        if (!startsWith(path, "models/") || !endsWith(path, ".geo")) continue;
        const ModelSummary summary = summariseModel(bytes);
        if (!summary.ok) {
            problems.push_back("model file " + path + " is cut short or malformed");
            continue;
        }
        for (const std::string& material : summary.materials)
            if (!materials.count(material))
                problems.push_back("model '" + assetName(path) + "' uses material '" + material + "', which is missing (materials/" +
                                   material + ".mat)");
        if (assetName(path) == "screens" && summary.parts != kMonitors)
            problems.push_back("model 'screens' has " + std::to_string(summary.parts) + " parts, wants " +
                               std::to_string(kMonitors) + " (one per monitor)");
    }

    checkProperties(entries, problems);
    checkCameras(entries, problems);
    return problems;
}

ArchiveEntries readArchive(const std::string& path) {
    unzFile zip = unzOpen(path.c_str());
    if (!zip) throw std::runtime_error("can't open the archive '" + path + "' (was it generated? see voltaresca-content)");
    ArchiveEntries entries;
    const std::string top = kTopFolder;
    int status = unzGoToFirstFile(zip);
    while (status == UNZ_OK) {
        char name[260];
        unz_file_info info;
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        std::vector<unsigned char> bytes(info.uncompressed_size);
        bool ok = unzOpenCurrentFile(zip) == UNZ_OK;
        if (ok && !bytes.empty())
            ok = unzReadCurrentFile(zip, bytes.data(), static_cast<unsigned>(bytes.size())) == static_cast<int>(bytes.size());
        unzCloseCurrentFile(zip);
        if (!ok) {
            unzClose(zip);
            throw std::runtime_error("can't read entry '" + std::string(name) + "' of the archive '" + path + "'");
        }
        std::string entry = name;
        if (startsWith(entry, top)) entry.erase(0, top.size());
        else if (entry + "/" == top) entry.clear();
        entries[entry] = std::move(bytes);
        status = unzGoToNextFile(zip);
    }
    unzClose(zip);
    if (status != UNZ_END_OF_LIST_OF_FILE) throw std::runtime_error("the archive '" + path + "' is damaged");
    return entries;
}

}  // namespace content
