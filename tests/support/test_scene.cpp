#include "support/test_scene.h"

#include <filesystem>
#include <sstream>
#include <vector>

#include "base/binary.h"
#include "base/png_file.h"
#include "formats/geo_writer.h"
#include "formats/writers.h"
#include "support/pictures.h"
#include "support/temp_dir.h"
#include "support/zip_writer.h"

namespace {

GeoVertex vertex(const sm::Vec3& p, const sm::Vec3& n, float u, float v) {
    return {{p.x, p.y, p.z}, {n.x, n.y, n.z}, {0.0f, 0.0f, 0.0f}, {u, v}};
}

// Two triangles, counter-clockwise seen from the side the normal points to.
void addQuad(GeoPart& part, const sm::Vec3& a, const sm::Vec3& b, const sm::Vec3& c, const sm::Vec3& d) {
    const sm::Vec3 n = sm::normalized(sm::cross(b - a, c - a));
    part.vertices.push_back(vertex(a, n, 0, 0));
    part.vertices.push_back(vertex(b, n, 1, 0));
    part.vertices.push_back(vertex(c, n, 1, 1));
    part.vertices.push_back(vertex(a, n, 0, 0));
    part.vertices.push_back(vertex(c, n, 1, 1));
    part.vertices.push_back(vertex(d, n, 0, 1));
}

GeoPart box(const std::string& material, const sm::Vec3& lo, const sm::Vec3& hi) {
    GeoPart part;
    part.materialName = material;
    const float x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    addQuad(part, {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1});  // +z
    addQuad(part, {x1, y0, z0}, {x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0});  // -z
    addQuad(part, {x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1});  // +x
    addQuad(part, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0});  // -x
    addQuad(part, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0});  // +y
    addQuad(part, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1});  // -y
    return part;
}

GeoMesh mesh(int32_t id, const std::string& name, std::vector<GeoPart> parts) {
    GeoMesh m;
    m.nodeId = id;
    m.name = name;
    m.parts = std::move(parts);
    return m;
}

std::string material(const std::string& name, const char* diffuse, float opacity, const char* emissive = "0;0;0",
                     const char* diffuseMap = nullptr) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\"?>\n<Material Name=\"" << name << "\">\n";
    if (diffuseMap) out << "<Textures><Texture Type=\"Diffuse\" File=\"" << diffuseMap << "\"/></Textures>\n";
    out
        << "<Property Type=\"Ambient\" Value=\"0.25;0.25;0.25\"/>\n"
        << "<Property Type=\"Diffuse\" Value=\"" << diffuse << "\"/>\n"
        << "<Property Type=\"Specular\" Value=\"0.3;0.3;0.3\"/>\n"
        << "<Property Type=\"Emissive\" Value=\"" << emissive << "\"/>\n"
        << "<Property Type=\"Opacity\" Value=\"" << opacity << "\"/>\n"
        << "<Property Type=\"SpecularLevel\" Value=\"0.5\"/>\n"
        << "</Material>\n";
    return out.str();
}

// An RGBA picture, bottom row first, encoded as PNG.
std::string pngBytes(int w, int h, const std::vector<unsigned char>& rgba) {
    PngPicture picture;
    picture.width = w;
    picture.height = h;
    picture.pixels = rgba.data();
    picture.bottomRowFirst = true;
    picture.srgb = false;
    std::vector<unsigned char> bytes;
    std::string error;
    if (!encodePng(picture, bytes, error)) return {};
    return std::string(bytes.begin(), bytes.end());
}

// About a second of silent MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, stereo): a header
// and all-zero side information decode to silence.
std::string silentMp3() {
    std::string frame(417, '\0');
    frame[0] = '\xff';
    frame[1] = '\xfb';
    frame[2] = '\x90';
    frame[3] = '\x00';
    std::string out;
    for (int i = 0; i < 40; ++i) out += frame;
    return out;
}

// The folders of the scene, each ending in '/'.
const char* const kFolders[] = {"effects/",    "materials/", "models/",           "animations/", "cameras/",
                                "properties/", "textures/",  "textures/credits/", "music/"};

// File name (with folders, '/'-separated) and contents of every file of the scene.
std::vector<std::pair<std::string, std::string>> sceneFiles(const TestSceneOptions& o) {
    std::vector<std::pair<std::string, std::string>> files;
    auto text = [&](const std::string& name, const std::string& body) { files.emplace_back(name, body); };
    auto bytes = [&](const std::string& name, const std::vector<unsigned char>& body) {
        files.emplace_back(name, std::string(body.begin(), body.end()));
    };

    // The content's own effect files: the scene draws with what the film draws with.
    for (const char* name : {"std_lighting", "std_lighting_glow_shadow", "shadow_mapping", "electro", "early_z_effect",
                             "blur", "post_process", "std_lighting_screens"})
        text(std::string("effects/") + name + ".cfx", readFile(std::string(VOLTARESCA_CONTENT_EFFECTS "/") + name + ".cfx"));

    text("materials/floor.mat", material("floor", "0.7;0.7;0.65", 1.0f, "0;0;0", o.floorTexture ? "floor.png" : nullptr));
    text("materials/crate.mat", material("crate", "0.8;0.35;0.1", 1.0f));
    text("materials/lamp.mat", material("glow_lamp", "1;0.9;0.3", 1.0f, "0.8;0.7;0.2"));
    text("materials/glass.mat", material("glass", "0.3;0.6;1", 0.5f));
    text("materials/metal.mat", material("metal", "0.5;0.55;0.6", 1.0f));
    text("materials/skin.mat", material("skin", "0.6;0.6;0.7", 1.0f));
    text("materials/eye.mat", material("eye", "0.2;1;0.3", 1.0f, "0.1;0.5;0.1"));
    text("materials/screen.mat", material("screen", "0.5;0.5;0.5", 1.0f));

    const std::vector<GeoMesh> factory = {
        mesh(1, "floor", {box("floor", {-10, -0.2f, -10}, {10, 0, 10})}),
        mesh(2, "crate", {box("crate", {-1, 2, -1}, {1, 3, 1})}),
        mesh(3, "lamp", {box("lamp", {3, 0, -3}, {4, 3, -2})}),
        mesh(4, "glass", {box("glass", {-5, 0, 1}, {-3, 2.5f, 1.2f})}),
        mesh(5, "credits_sign", {box("metal", {-4, 0, -6}, {-2, 1, -5})}),
        mesh(6, "far_crate", {box("crate", {0, 0, 40}, {1, 1, 41})}),
    };
    const std::vector<GeoMesh> wheels = {mesh(10, "gear", {box("metal", {5, 0, 2}, {6, 1, 3})})};
    const std::vector<GeoMesh> winda = {mesh(20, "lift", {box("metal", {-7, 0, -3}, {-6, 4, -2})})};
    const std::vector<GeoMesh> headBody = {mesh(30, "head", {box("skin", {5, 0, -6}, {7, 2.5f, -4})})};
    const std::vector<GeoMesh> headEyes = {mesh(31, "eyes", {box("eye", {5.3f, 1.6f, -4}, {6.7f, 1.9f, -3.9f})})};
    const std::vector<GeoMesh> credits = {mesh(40, "credits", {box("metal", {1, 0, -8}, {3, 2, -7.5f})})};
    // Three monitors in a row on the left, facing the first camera, and the believe monitor
    // on the right: one quad each.
    GeoPart monitors[3];
    for (int i = 0; i < 3; ++i) {
        monitors[i].materialName = "screen";
        const float x = -8.0f + 1.6f * static_cast<float>(i);
        addQuad(monitors[i], {x, 4, -4}, {x + 1.4f, 4, -4}, {x + 1.4f, 5.2f, -4}, {x, 5.2f, -4});
    }
    const std::vector<GeoMesh> screens = {mesh(50, "screens", {monitors[0], monitors[1], monitors[2]})};
    GeoPart believePart;
    believePart.materialName = "screen";
    addQuad(believePart, {4, 4, -4}, {8, 4, -4}, {8, 7, -4}, {4, 7, -4});
    const std::vector<GeoMesh> believe = {mesh(60, "believe_screen", {believePart})};
    for (const auto& model : {std::make_pair("factory", &factory), std::make_pair("wheels", &wheels),
                              std::make_pair("winda", &winda), std::make_pair("head_body", &headBody),
                              std::make_pair("head_eyes", &headEyes), std::make_pair("credits", &credits),
                              std::make_pair("screens", &screens), std::make_pair("believe_screen", &believe)})
        text(std::string("models/") + model.first + ".geo", encodeGeo(*model.second));

    // Animations: the scene stands still (nodes that bind no mesh), the cameras fly.
    AnimationNode still;
    still.nodeId = 999;
    for (const char* name : {"factory", "winda", "wheels"})
        bytes(std::string("animations/") + name + ".ani", encodeAnimation({still}));
    std::vector<AnimationNode> shots;
    std::vector<CameraRecord> records;
    if (o.cameras) {
        const sm::Vec3 up(0, 1, 0);
        const sm::Vec3 other(-o.eye.x, o.eye.y, -o.eye.z);
        shots.push_back(cameraNode(100, {{0.0f, o.eye, o.target, up}, {o.firstShotEnd, o.eye, o.target, up}}));
        shots.push_back(cameraNode(101, {{0.0f, other, o.target, up}, {o.secondShotEnd, other, o.target, up}}));
        CameraRecord a, b;
        a.nodeId = 100;
        b.nodeId = 101;
        records = {a, b};
    }
    bytes("animations/cameras.ani", encodeAnimation(shots.empty() ? std::vector<AnimationNode>{still} : shots));
    bytes("cameras/cameras.cam", encodeCameras(records));

    ScriptWriter script;
    script.value(1, "shake", o.shake);
    if (o.noiseFrom < 1.0e9f)
        script.track(2, "electro_noise", std::vector<ScriptKey<float>>{{0.0f, 0.1f, true}, {o.noiseFrom, 1.0f, true}, {o.noiseFrom + 1.0f, 1.0f}});
    else
        script.track(2, "electro_noise", std::vector<ScriptKey<float>>{{0.0f, 0.1f}, {1000.0f, 0.1f}});
    script.track(3, "images.end", std::vector<ScriptKey<float>>{{o.endFrom, 0.0f}, {o.endFrom + 1000.0f, 1.0f}});
    script.track(4, "believe_screen.letters", std::vector<ScriptKey<float>>{{200000.0f, 0.0f}, {213000.0f, 723.0f}});
    script.track(5, "believe_screen.screen_index", std::vector<ScriptKey<int>>{{0.0f, 0, true}, {210000.0f, 1, true}, {213000.0f, 0, true}},
                 9);
    text("properties/props.scr", script.text());

    // The mask darkens a band at the top and bottom; "end" is blue with a green band in its
    // upper half.
    const int w = 64, h = 64;
    std::vector<unsigned char> mask(static_cast<size_t>(w * h * 4), 0), end(static_cast<size_t>(w * h * 4), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* m = &mask[static_cast<size_t>((y * w + x) * 4)];
            m[3] = (y < 6 || y >= h - 6) ? 255 : 0;
            unsigned char* e = &end[static_cast<size_t>((y * w + x) * 4)];
            const bool band = y >= h - 20 && y < h - 8;  // green, high in the picture: a flip shows
            e[0] = 40;
            e[1] = band ? 200 : 80;
            e[2] = band ? 60 : 220;
            e[3] = 255;
        }
    text("textures/mask.png", pngBytes(w, h, mask));
    text("textures/mask_big.png", pngBytes(w, h, mask));
    text("textures/end.png", pngBytes(w, h, end));

    // Plain pictures in distinct colours: the believe images, the noise frames, and the
    // credits pictures (JPEG, as the film ships them).
    auto plain = [&](unsigned char r, unsigned char g, unsigned char b) {
        std::vector<unsigned char> rgba(static_cast<size_t>(16 * 16 * 4), 255);
        for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = r, rgba[i + 1] = g, rgba[i + 2] = b;
        return pngBytes(16, 16, rgba);
    };
    const char* const believeNames[] = {"believe", "believe_we", "believe_believe", "believe_in", "believe_you"};
    for (int i = 0; i < 5; ++i)
        text(std::string("textures/") + believeNames[i] + ".png",
             plain(255, static_cast<unsigned char>(255 - 40 * i), static_cast<unsigned char>(40 * i)));
    for (int i = 1; i <= 3; ++i)
        text("textures/tv_noise" + std::to_string(i) + ".png", plain(static_cast<unsigned char>(60 * i), 60, 60));
    for (int i = 0; i < o.creditsPictures; ++i) {
        std::vector<unsigned char> rgb(static_cast<size_t>(16 * 16 * 3), static_cast<unsigned char>(40 + 50 * i));
        text("textures/credits/c" + std::to_string(i) + ".jpg",
             i == o.brokenCreditsPicture ? std::string("not a picture") : encodeJpeg(16, 16, 3, rgb));
    }
    if (o.floorTexture) text("textures/floor.png", plain(200, 200, 190));
    if (o.loaderPicture) text("loader.jpg", encodeJpeg(8, 8, 3, std::vector<unsigned char>(192, 40)));
    if (o.music) text("music/demotune.mp3", o.musicFile.empty() ? silentMp3() : o.musicFile);
    return files;
}

}  // namespace

bool writeTestScene(const std::string& directory, const TestSceneOptions& options) {
    for (const char* folder : kFolders) std::filesystem::create_directories(directory + folder);
    for (const auto& file : sceneFiles(options))
        if (!writeWholeFile(directory + file.first, std::vector<unsigned char>(file.second.begin(), file.second.end())))
            return false;
    return true;
}

ZipEntries testSceneEntries(const TestSceneOptions& options) {
    ZipEntries entries{{"voltaresca_data/", ""}};
    for (const char* folder : kFolders) entries.emplace_back(std::string("voltaresca_data/") + folder, "");
    for (auto& file : sceneFiles(options)) entries.emplace_back("voltaresca_data/" + file.first, std::move(file.second));
    return entries;
}

bool writeTestSceneArchive(const std::string& path, const TestSceneOptions& options) {
    return writeZip(path, testSceneEntries(options));
}
