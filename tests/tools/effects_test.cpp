// The hand-written effects and materials of the film: every effect compiles on the driver with
// the techniques and parameters the renderers use, the lit techniques shade as they should
// (read back from the picture), and every material names only textures the picture generator
// makes. Writes a contact sheet of all lit techniques, effects_preview.png, beside the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "anim/math.h"
#include "base/png_file.h"
#include "assets/effect.h"
#include "fx/runtime.h"
#include "support/gl_target.h"
#include "support/gl_test.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fx::ParamType;

const std::string kContent = VOLTARESCA_CONTENT_DIR;

std::vector<std::string> filesWithExtension(const std::string& folder, const std::string& extension) {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension) out.push_back(entry.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

// ---- what the renderers use of each effect ---------------------------------------------------

struct Required {
    std::vector<std::string> techniques;
    std::map<std::string, ParamType> params;
};

std::map<std::string, ParamType> litParams(bool bump) {
    std::map<std::string, ParamType> p = {
        {"ambientColor", ParamType::Float4}, {"diffuseColor", ParamType::Float4}, {"specularColor", ParamType::Float4},
        {"emissiveColor", ParamType::Float4}, {"opacity", ParamType::Float},     {"glossiness", ParamType::Float},
        {"specularLevel", ParamType::Float},  {"diffTex", ParamType::Sampler2D},  {"mvp", ParamType::Float4x4},
        {"world", ParamType::Float4x4},       {"lightPosition", ParamType::Float3}, {"eyePosition", ParamType::Float3}};
    if (bump) p["normTex"] = ParamType::Sampler2D;
    return p;
}

std::map<std::string, Required> requiredEffects() {
    std::map<std::string, Required> r;
    const char* lit[] = {"NoTexTech", "BlendNoTexTech", "BlendTexTech", "DiffTexTech", "BumpTech", "DiffTexBumpTech"};
    Required& std = r["std_lighting"];
    Required& shadow = r["std_lighting_glow_shadow"];
    for (const char* t : lit) {
        std.techniques.push_back(t);
        shadow.techniques.push_back(std::string(t) + "_GlowShadow");
    }
    std.params = litParams(true);
    std.params["colorMask"] = ParamType::Float4;
    shadow.params = litParams(true);
    shadow.params["shadowMap"] = ParamType::Sampler2DShadow;
    shadow.params["shadowMapMatrix"] = ParamType::Float4x4;

    r["shadow_mapping"] = {{"ShadowMapping"}, {{"mvp", ParamType::Float4x4}}};
    r["early_z_effect"] = {{"EarlyZTech"}, {{"mvp", ParamType::Float4x4}}};
    r["blur"] = {{"BlurGlowTech", "BlurDofTech"},
                 {{"texToBlur", ParamType::Sampler2D}, {"scanStep", ParamType::Float2}, {"mvp", ParamType::Float4x4}}};
    r["post_process"] = {{"DofGlowTech"},
                         {{"focal", ParamType::Float},
                          {"fade", ParamType::Float},
                          {"focalFalloff", ParamType::Float},
                          {"noiseStrength", ParamType::Float},
                          {"depthTex", ParamType::Sampler2D},
                          {"sharpTex", ParamType::Sampler2D},
                          {"blurTex", ParamType::Sampler2D},
                          {"noiseTex", ParamType::Sampler1D},
                          {"mvp", ParamType::Float4x4}}};
    Required& electro = r["electro"];
    electro.techniques = {"NoTexTech", "DiffTexTech"};
    electro.params = litParams(false);
    electro.params["minIntensity"] = ParamType::Float4;
    electro.params["electroSource"] = ParamType::Float4;
    electro.params["electroRangeFront"] = ParamType::Float;
    electro.params["electroRangeTail"] = ParamType::Float;
    Required& screens = r["std_lighting_screens"];
    screens.techniques = {"DiffTexTech"};
    screens.params = litParams(false);
    screens.params.erase("diffTex");
    screens.params["noiseTex"] = ParamType::Sampler2D;
    screens.params["creditsTex"] = ParamType::Sampler2D;
    screens.params["creditsVisibility"] = ParamType::Float;
    screens.params["colorMask"] = ParamType::Float;
    return r;
}

// ---- drawing helpers ---------------------------------------------------------------------------

struct Rgb {
    int r, g, b;
    int sum() const { return r + g + b; }
};

Rgb pixelAt(const std::vector<unsigned char>& p, int width, int x, int y) {
    size_t i = (static_cast<size_t>(y) * width + x) * 4;
    return {p[i], p[i + 1], p[i + 2]};
}

// The mesh vertex layout the models use: position, normal, tangent (texture set 0), (u, v, 1)
// (texture set 1), 15 floats.
struct Vertex {
    float position[4];
    float normal[4];
    float tangent[4];
    float uv[3];
};

std::vector<Vertex> sphere(float radius, float cx, float cy, float cz, int slices = 48, int stacks = 24) {
    auto at = [&](int i, int j) {
        float u = static_cast<float>(i) / slices, v = static_cast<float>(j) / stacks;
        float phi = u * 2 * sm::kPi, theta = v * sm::kPi;
        float nx = std::sin(theta) * std::sin(phi), ny = -std::cos(theta), nz = std::sin(theta) * std::cos(phi);
        Vertex vx = {{cx + radius * nx, cy + radius * ny, cz + radius * nz, 1},
                     {nx, ny, nz, 1},
                     {std::cos(phi), 0, -std::sin(phi), 1},
                     {u * 4, v * 2, 1}};
        return vx;
    };
    std::vector<Vertex> out;
    for (int i = 0; i < slices; ++i)
        for (int j = 0; j < stacks; ++j) {
            Vertex a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            out.insert(out.end(), {a, b, c, a, c, d});
        }
    return out;
}

// A square in the plane z = cz facing +z, side 2 x half, texture repeated `tiles` times.
std::vector<Vertex> square(float half, float cz, float tiles = 1) {
    auto v = [&](float x, float y) {
        Vertex vx = {{x * half, y * half, cz, 1}, {0, 0, 1, 1}, {1, 0, 0, 1}, {(x + 1) * 0.5f * tiles, (y + 1) * 0.5f * tiles, 1}};
        return vx;
    };
    return {v(-1, -1), v(1, -1), v(1, 1), v(-1, -1), v(1, 1), v(-1, 1)};
}

void drawVertices(const std::vector<Vertex>& vertices) {
    const char* base = reinterpret_cast<const char*>(vertices.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(4, GL_FLOAT, sizeof(Vertex), base);
    glNormalPointer(GL_FLOAT, sizeof(Vertex), base + 16);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(4, GL_FLOAT, sizeof(Vertex), base + 32);
    glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(3, GL_FLOAT, sizeof(Vertex), base + 48);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// A mipmapped RGBA texture from a function of (x, y) in [0, 1).
template <typename F>
GLuint makeTexture(int size, F texel) {
    std::vector<unsigned char> pixels(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Rgb c = texel(static_cast<float>(x) / size, static_cast<float>(y) / size);
            unsigned char* p = &pixels[(static_cast<size_t>(y) * size + x) * 4];
            p[0] = static_cast<unsigned char>(std::clamp(c.r, 0, 255));
            p[1] = static_cast<unsigned char>(std::clamp(c.g, 0, 255));
            p[2] = static_cast<unsigned char>(std::clamp(c.b, 0, 255));
            p[3] = 255;
        }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glGenerateMipmapEXT(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

GLuint uniformTexture(int r, int g, int b) {
    return makeTexture(4, [&](float, float) { return Rgb{r, g, b}; });
}

// A normal map of round studs: tilts the normal on the studs' flanks.
GLuint studsNormalMap() {
    return makeTexture(64, [](float x, float y) {
        float dx = std::fmod(x * 4, 1.0f) - 0.5f, dy = std::fmod(y * 4, 1.0f) - 0.5f;
        float d = std::sqrt(dx * dx + dy * dy);
        float nx = 0, ny = 0;
        if (d < 0.35f && d > 0.05f) nx = dx / d * 0.7f, ny = dy / d * 0.7f;
        float nz = std::sqrt(std::max(0.0f, 1 - nx * nx - ny * ny));
        return Rgb{static_cast<int>((nx * 0.5f + 0.5f) * 255), static_cast<int>((ny * 0.5f + 0.5f) * 255),
                   static_cast<int>((nz * 0.5f + 0.5f) * 255)};
    });
}

GLuint checkerTexture() {
    return makeTexture(64, [](float x, float y) {
        bool odd = (static_cast<int>(x * 4) + static_cast<int>(y * 4)) % 2;
        return odd ? Rgb{200, 160, 90} : Rgb{90, 110, 130};
    });
}

// A 1 x 1 depth texture holding `depth`, for shadow lookups that are all lit or all shadowed.
GLuint flatDepthTexture(float depth) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, 1, 1, 0, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

struct Camera {
    float projection[16];
    float view[16];
    sm::Vec3 eye;
};

Camera cameraAt(float distance) {
    Camera c;
    sm::perspective(c.projection, 45.0f, 1.0f, 1.0f, 200.0f);
    sm::translation(c.view, 0, 0, -distance);
    c.eye = sm::Vec3{0, 0, distance};
    return c;
}

// ---- the fixture -------------------------------------------------------------------------------

class EffectsContentTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        context_ = fx::createContext();
        ASSERT_NE(context_, nullptr) << "the driver can't compile GLSL 1.20";
    }
    void TearDown() override {
        effects_.clear();
        for (GLuint t : textures_) glDeleteTextures(1, &t);
        fx::destroyContext(context_);
        GLTest::TearDown();
    }

    Effect& effect(const std::string& name) {
        auto it = effects_.find(name);
        if (it != effects_.end()) return *it->second;
        std::string path = kContent + "/effects/" + name + ".cfx";
        auto made = std::make_unique<Effect>(fx::createEffect(context_, readFile(path), name + ".cfx"));
        EXPECT_NE(made->handle(), nullptr) << log_.all();
        return *(effects_[name] = std::move(made));
    }
    GLuint keep(GLuint texture) {
        textures_.push_back(texture);
        return texture;
    }

    // Material and transform parameters the way the lighting binder sets them, light at the eye.
    static void bindLit(Effect& e, const Camera& c, float r, float g, float b) {
        e.setFloat4("ambientColor", 0.2f, 0.2f, 0.2f, 1);
        e.setFloat4("diffuseColor", r, g, b, 1);
        e.setFloat4("specularColor", 1, 1, 1, 1);
        e.setFloat4("emissiveColor", 0, 0, 0, 1);
        e.setFloat("opacity", 1);
        e.setFloat("glossiness", 64);
        e.setFloat("specularLevel", 0.4f);
        e.setFloat4("colorMask", 1, 1, 1, 1);
        float world[16], pv[16];
        sm::identity(world);
        sm::multiply(pv, c.view, c.projection);
        e.setMatrix("mvp", pv);
        e.setMatrix("world", world);
        e.setFloat3("lightPosition", c.eye.x, c.eye.y, c.eye.z);
        e.setFloat3("eyePosition", c.eye.x, c.eye.y, c.eye.z);
    }
    static void draw(Effect& e, const std::string& technique, const std::vector<Vertex>& vertices) {
        e.selectTechnique(technique);
        fx::Pass* pass = e.firstPass();
        ASSERT_NE(pass, nullptr) << technique;
        ASSERT_TRUE(fx::setPassState(pass));
        drawVertices(vertices);
        fx::resetPassState(pass);
    }

    fx::Context* context_ = nullptr;
    LogCapture log_;
    std::map<std::string, std::unique_ptr<Effect>> effects_;
    std::vector<GLuint> textures_;
};

constexpr int kSize = 128;

TEST_F(EffectsContentTest, EveryEffectCompilesWithTheTechniquesAndParametersTheRenderersUse) {
    std::set<std::string> present;
    for (const std::string& path : filesWithExtension(kContent + "/effects", ".cfx")) {
        std::string name = fs::path(path).stem().string();
        present.insert(name);
        Effect& e = effect(name);
        ASSERT_NE(e.handle(), nullptr) << name;
        for (const auto& technique : e.techniques()) {
            e.selectTechnique(technique.first);
            EXPECT_FALSE(e.passes.empty()) << name << ": " << technique.first;
        }
    }
    for (const auto& [name, required] : requiredEffects()) {
        ASSERT_TRUE(present.count(name)) << "content/effects/" << name << ".cfx is missing";
        Effect& e = effect(name);
        for (const std::string& technique : required.techniques) {
            EXPECT_TRUE(e.techniques().count(technique)) << name << " lacks technique " << technique;
            e.selectTechnique(technique);
            EXPECT_NE(e.firstPass(), nullptr) << name << ": " << technique << " has no pass";
        }
        for (const auto& [param, type] : required.params) {
            int index = fx::findParameter(e.handle(), param);
            ASSERT_GE(index, 0) << name << " lacks parameter " << param;
            EXPECT_EQ(e.handle()->params[index].type, type) << name << ": parameter " << param << " has the wrong type";
        }
    }
    EXPECT_TRUE(log_.lines.empty()) << log_.all();
}

TEST_F(EffectsContentTest, LitSphereIsShadedFromTheEyeWithItsMaterial) {
    Effect& lit = effect("std_lighting");
    ASSERT_NE(lit.handle(), nullptr);
    Camera cam = cameraAt(4);
    std::vector<Vertex> ball = sphere(1, 0, 0, 0);
    GlTarget target(kSize, kSize);

    target.clear(0, 0, 0);
    bindLit(lit, cam, 0.8f, 0.15f, 0.1f);
    draw(lit, "NoTexTech", ball);
    std::vector<unsigned char> p = target.pixels();
    Rgb centre = pixelAt(p, kSize, kSize / 2, kSize / 2);
    Rgb flank = pixelAt(p, kSize, kSize / 2 + 30, kSize / 2);  // about 0.85 of the radius out
    Rgb outside = pixelAt(p, kSize, 2, 2);
    EXPECT_GT(centre.r, 200) << "the surface facing the light is bright";
    EXPECT_GT(centre.r, centre.b + 40) << "the material is red";
    EXPECT_LT(flank.r, centre.r) << "the surface turning away from the light is darker";
    EXPECT_GT(flank.r, flank.g + 30);
    EXPECT_EQ(outside.sum(), 0);
    // The highlight sits where the normal points at the eye: whiter at the centre than beside it.
    EXPECT_GT(centre.g, pixelAt(p, kSize, kSize / 2 + 12, kSize / 2).g + 10);

    // The colour mask scales the result (the eye glow).
    target.clear(0, 0, 0);
    lit.setFloat4("colorMask", 0.25f, 0.25f, 0.25f, 1);
    draw(lit, "NoTexTech", ball);
    Rgb masked = pixelAt(target.pixels(), kSize, kSize / 2 + 30, kSize / 2);
    EXPECT_NEAR(masked.r, flank.r / 4, 3);

    // A diffuse texture colours the surface.
    target.clear(0, 0, 0);
    bindLit(lit, cam, 1, 1, 1);
    lit.setTexture("diffTex", keep(uniformTexture(40, 60, 230)));
    draw(lit, "DiffTexTech", ball);
    Rgb blue = pixelAt(target.pixels(), kSize, kSize / 2 + 30, kSize / 2);
    EXPECT_GT(blue.b, blue.r + 60);

    // A flat normal map changes nothing; a tilted one (along the tangent) turns the surface
    // away from the light and darkens it.
    target.clear(0, 0, 0);
    bindLit(lit, cam, 0.8f, 0.15f, 0.1f);
    lit.setTexture("normTex", keep(uniformTexture(128, 128, 255)));
    draw(lit, "BumpTech", ball);
    Rgb flat = pixelAt(target.pixels(), kSize, kSize / 2 + 30, kSize / 2);
    EXPECT_NEAR(flat.r, flank.r, 4);
    target.clear(0, 0, 0);
    lit.setTexture("normTex", keep(uniformTexture(250, 128, 150)));
    draw(lit, "BumpTech", ball);
    Rgb tilted = pixelAt(target.pixels(), kSize, kSize / 2, kSize / 2);
    EXPECT_LT(tilted.r, centre.r - 40);

    // Opacity below 1 lets the background through.
    target.clear(0, 1, 0);
    bindLit(lit, cam, 0.8f, 0.15f, 0.1f);
    lit.setFloat("opacity", 0.3f);
    draw(lit, "BlendNoTexTech", ball);
    Rgb glass = pixelAt(target.pixels(), kSize, kSize / 2 + 30, kSize / 2);
    EXPECT_GT(glass.g, 120) << "the green background shows through";
    EXPECT_GT(glass.r, 40) << "the red surface is still there";
    EXPECT_TRUE(log_.lines.empty()) << log_.all();
}

TEST_F(EffectsContentTest, ShadowMapDarkensOnlyTheDirectLight) {
    Effect& lit = effect("std_lighting_glow_shadow");
    ASSERT_NE(lit.handle(), nullptr);
    Camera cam = cameraAt(4);
    std::vector<Vertex> ball = sphere(1, 0, 0, 0);
    GlTarget target(kSize, kSize);
    float bias[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, 0.5f, 0.5f, 0.5f, 1};
    float pv[16], shadowMatrix[16];
    sm::multiply(pv, cam.view, cam.projection);
    sm::multiply(shadowMatrix, pv, bias);

    auto render = [&](GLuint depth) {
        target.clear(0, 0, 0);
        bindLit(lit, cam, 0.7f, 0.7f, 0.7f);
        lit.setMatrix("shadowMapMatrix", shadowMatrix);
        lit.setTexture("shadowMap", depth);
        draw(lit, "NoTexTech_GlowShadow", ball);
        return pixelAt(target.pixels(), kSize, kSize / 2 + 20, kSize / 2);
    };
    Rgb open = render(keep(flatDepthTexture(1.0f)));
    Rgb shadowed = render(keep(flatDepthTexture(0.0f)));
    EXPECT_GT(open.r, 150);
    EXPECT_LT(shadowed.r, open.r / 2) << "in shadow the light's share is gone";
    EXPECT_GT(shadowed.r, 20) << "ambient light remains in shadow";
    EXPECT_TRUE(log_.lines.empty()) << log_.all();
}

TEST_F(EffectsContentTest, ElectroShowsTheDischargeOnlyInItsBand) {
    Effect& electro = effect("electro");
    ASSERT_NE(electro.handle(), nullptr);
    Camera cam = cameraAt(12);
    std::vector<Vertex> head = sphere(3, 0, 0, 0);
    GlTarget target(kSize, kSize);
    auto render = [&](float front, float floor, float surface) {
        target.clear(0, 0, 0);
        bindLit(electro, cam, 0.6f, 0.6f, 0.6f);
        electro.setFloat4("minIntensity", floor, floor, floor, surface);
        electro.setFloat4("electroSource", 0, 0, -3.3f, 1);
        electro.setFloat("electroRangeFront", front);
        electro.setFloat("electroRangeTail", std::max(front - 4, 0.0f));
        draw(electro, "NoTexTech", head);
        return target.pixels();
    };
    auto brightest = [](const std::vector<unsigned char>& p) {
        Rgb best{0, 0, 0};
        for (size_t i = 0; i < p.size(); i += 4)
            if (p[i] + p[i + 1] + p[i + 2] > best.sum()) best = {p[i], p[i + 1], p[i + 2]};
        return best;
    };
    // Glow pass without a discharge: the head is black.
    EXPECT_EQ(brightest(render(0, 0, 0)).sum(), 0);
    // The band reaches the visible front of the head (6 units from the source): bluish arcs.
    std::vector<unsigned char> glow = render(6.3f, 0, 0);
    EXPECT_GT(brightest(glow).b, 200);
    int bluish = 0;
    for (size_t i = 0; i < glow.size(); i += 4) bluish += glow[i + 2] > 80 && glow[i + 2] > glow[i] + 30;
    EXPECT_GT(bluish, 20);
    // Main pass: the lit head, never darker than the floor.
    std::vector<unsigned char> lit = render(0, 0.1f, 1);
    EXPECT_GT(pixelAt(lit, kSize, kSize / 2, kSize / 2).r, 100);
    EXPECT_GE(pixelAt(lit, kSize, kSize / 2 + 20, kSize / 2 + 20).r, 24);
    EXPECT_TRUE(log_.lines.empty()) << log_.all();
}

// Full-window passes: the blur spreads a line symmetrically and keeps its energy; the final
// pass fades, and mixes in the blurred copy away from the focus.
TEST_F(EffectsContentTest, BlurAndPostProcessWorkOnTheirQuads) {
    Effect& blur = effect("blur");
    Effect& post = effect("post_process");
    ASSERT_NE(blur.handle(), nullptr);
    ASSERT_NE(post.handle(), nullptr);
    GlTarget target(kSize, kSize);
    float ortho[16];
    sm::identity(ortho);
    ortho[0] = 2.0f / kSize, ortho[5] = 2.0f / kSize, ortho[10] = -1, ortho[12] = -1, ortho[13] = -1;
    auto quad = [&]() {
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0), glVertex2f(0, 0);
        glTexCoord2f(1, 0), glVertex2f(kSize, 0);
        glTexCoord2f(1, 1), glVertex2f(kSize, kSize);
        glTexCoord2f(0, 1), glVertex2f(0, kSize);
        glEnd();
    };
    // One bright column in the middle of a black picture.
    GLuint line = keep(makeTexture(kSize, [](float x, float) { return std::abs(x - 0.5f) < 0.5f / kSize ? Rgb{255, 255, 255} : Rgb{0, 0, 0}; }));
    for (const char* technique : {"BlurDofTech", "BlurGlowTech"}) {
        target.clear(0, 0, 0);
        blur.setMatrix("mvp", ortho);
        blur.setFloat2("scanStep", 1.0f / kSize, 0);
        blur.setTexture("texToBlur", line);
        blur.selectTechnique(technique);
        ASSERT_TRUE(fx::setPassState(blur.firstPass()));
        quad();
        fx::resetPassState(blur.firstPass());
        std::vector<unsigned char> p = target.pixels();
        int row = kSize / 2, total = 0;
        for (int x = 0; x < kSize; ++x) total += pixelAt(p, kSize, x, row).r;
        EXPECT_NEAR(pixelAt(p, kSize, kSize / 2 - 3, row).r, pixelAt(p, kSize, kSize / 2 + 3, row).r, 3) << technique;
        EXPECT_GT(pixelAt(p, kSize, kSize / 2 + 2, row).r, 10) << technique << " spreads sideways";
        EXPECT_LT(pixelAt(p, kSize, kSize / 2, row).r, 200) << technique;
        EXPECT_NEAR(total, 255, 255 * 0.2) << technique << " keeps the line's energy";
        EXPECT_EQ(pixelAt(p, kSize, kSize / 2, row).r, pixelAt(p, kSize, kSize / 2, 5).r) << technique << " is horizontal";
    }

    GLuint sharp = keep(uniformTexture(200, 40, 40));
    GLuint blurred = keep(uniformTexture(40, 40, 200));
    GLuint noise = 0;
    glGenTextures(1, &noise);
    keep(noise);
    glBindTexture(GL_TEXTURE_1D, noise);
    float noiseTexels[32];
    for (int i = 0; i < 32; ++i) noiseTexels[i] = ((i * 37) % 200 - 100) / 100.0f;
    glTexImage1D(GL_TEXTURE_1D, 0, 1, 32, 0, GL_LUMINANCE, GL_FLOAT, noiseTexels);
    glBindTexture(GL_TEXTURE_1D, 0);
    // Depth that maps back to 10 units (the focus) and to 60 units, with near 1 and far 200.
    auto depthAt = [](float distance) { return (200.0f + 1 - 2 * 200.0f / distance) / (200.0f - 1) * 0.5f + 0.5f; };
    auto finalPixel = [&](float distance, float fade) {
        GLuint depth = flatDepthTexture(depthAt(distance));
        target.clear(0, 0, 0);
        post.setMatrix("mvp", ortho);
        post.setFloat("focal", 10.0f);
        post.setFloat("focalFalloff", 0.00007f);
        post.setFloat("fade", fade);
        post.setFloat("noiseStrength", 0);
        post.setTexture("depthTex", depth);
        post.setTexture("sharpTex", sharp);
        post.setTexture("blurTex", blurred);
        post.setTexture("noiseTex", noise);
        post.selectTechnique("DofGlowTech");
        EXPECT_TRUE(fx::setPassState(post.firstPass()));
        quad();
        fx::resetPassState(post.firstPass());
        glDeleteTextures(1, &depth);
        return pixelAt(target.pixels(), kSize, kSize / 2, kSize / 2);
    };
    Rgb inFocus = finalPixel(10, 1), far = finalPixel(60, 1), black = finalPixel(10, 0);
    EXPECT_NEAR(inFocus.r, 200, 12);
    EXPECT_NEAR(inFocus.b, 40, 12);
    EXPECT_GT(far.b, far.r) << "far away the blurred copy wins";
    EXPECT_EQ(black.sum(), 0);
    EXPECT_TRUE(log_.lines.empty()) << log_.all();
}

TEST_F(EffectsContentTest, ScreensShowTheCreditsOverNoise) {
    Effect& screens = effect("std_lighting_screens");
    ASSERT_NE(screens.handle(), nullptr);
    Camera cam = cameraAt(4);
    GlTarget target(kSize, kSize);
    auto centre = [&](float visibility) {
        target.clear(0, 0, 0);
        bindLit(screens, cam, 0.3f, 0.3f, 0.3f);
        screens.setFloat("specularLevel", 0);
        screens.setFloat("colorMask", 1);
        screens.setFloat("creditsVisibility", visibility);
        screens.setTexture("noiseTex", keep(uniformTexture(60, 200, 60)));
        screens.setTexture("creditsTex", keep(uniformTexture(230, 40, 40)));
        draw(screens, "DiffTexTech", square(1.2f, 0));
        return pixelAt(target.pixels(), kSize, kSize / 2, kSize / 2);
    };
    Rgb noise = centre(0), credits = centre(1);
    EXPECT_GT(noise.g, noise.r + 30);
    EXPECT_GT(credits.r, credits.g + 100);
    EXPECT_TRUE(log_.lines.empty()) << log_.all();
}

// A picture to look at, each tile checked for its object: every lit technique on a sphere, the glow-shadow ones
// over a floor that catches the sphere's shadow, the electro head and a monitor face.
TEST_F(EffectsContentTest, ContactSheetOfTheLitTechniques) {
    constexpr int kTile = 192, kColumns = 6, kRows = 3;
    std::vector<unsigned char> sheet(static_cast<size_t>(kTile) * kColumns * kTile * kRows * 4, 255);
    // Far enough back that the shadow camera, 2 units aside, still sees the sphere.
    Camera cam = cameraAt(7);
    std::vector<Vertex> ball = sphere(1.6f, 0, 0, 0);
    std::vector<Vertex> wall = square(9, -6, 8);
    GLuint checker = keep(checkerTexture()), studs = keep(studsNormalMap());
    GLuint stripes = keep(makeTexture(64, [](float x, float) { return static_cast<int>(x * 8) % 2 ? Rgb{240, 240, 240} : Rgb{30, 30, 30}; }));
    GlTarget target(kTile, kTile);
    GlTarget shadowTarget(kTile, kTile, true);
    int tile = 0;
    // Each tile shows its object: its middle differs from a corner, where only the background
    // is (the wall, or the clear colour), in brightness or in contrast (a see-through sphere
    // dims the stripes behind it). Tile 15, the glow pass with the discharge past the sphere,
    // is meant to stay dark.
    struct Box {
        double mean = 0, range = 0;
    };
    auto boxOf = [&](const std::vector<unsigned char>& p, int x0, int y0) {
        Box b;
        double low = 765, high = 0;
        for (int y = y0; y < y0 + 24; ++y)
            for (int x = x0; x < x0 + 24; ++x) {
                const unsigned char* q = &p[(static_cast<size_t>(y) * kTile + x) * 4];
                const double v = q[0] + q[1] + q[2];
                b.mean += v / (24 * 24 * 3), low = std::min(low, v), high = std::max(high, v);
            }
        b.range = (high - low) / 3;
        return b;
    };
    auto place = [&]() {
        std::vector<unsigned char> p = target.pixels();
        const Box middle = boxOf(p, kTile / 2 - 12, kTile / 2 - 12), corner = boxOf(p, 0, kTile - 24);
        if (tile == 15) {
            EXPECT_LT(middle.mean, 5.0) << "the glow pass lights the sphere behind the discharge";
        } else {
            EXPECT_TRUE(std::abs(middle.mean - corner.mean) > 10.0 || std::abs(middle.range - corner.range) > 30.0)
                << "tile " << tile << " shows only its background";
        }
        int ox = (tile % kColumns) * kTile, oy = (kRows - 1 - tile / kColumns) * kTile;
        for (int y = 0; y < kTile; ++y)
            std::copy_n(&p[static_cast<size_t>(y) * kTile * 4], kTile * 4,
                        &sheet[((static_cast<size_t>(oy + y) * kTile * kColumns) + ox) * 4]);
        ++tile;
    };
    struct Look {
        const char* technique;
        bool diffuse, bump;
        float opacity;
    };
    const Look looks[] = {{"NoTexTech", false, false, 1},      {"DiffTexTech", true, false, 1},
                          {"BumpTech", false, true, 1},        {"DiffTexBumpTech", true, true, 1},
                          {"BlendNoTexTech", false, false, 0.35f}, {"BlendTexTech", true, false, 0.35f}};

    // Row by row: std_lighting over a striped wall, then the glow-shadow variants with shadows.
    Effect& lit = effect("std_lighting");
    for (const Look& look : looks) {
        target.clear(0.02f, 0.02f, 0.03f);
        bindLit(lit, cam, 1, 1, 1);
        lit.setTexture("diffTex", stripes);
        draw(lit, "DiffTexTech", wall);
        bindLit(lit, cam, look.diffuse ? 1.0f : 0.75f, look.diffuse ? 1.0f : 0.3f, look.diffuse ? 1.0f : 0.2f);
        lit.setFloat("opacity", look.opacity);
        lit.setTexture("diffTex", checker);
        lit.setTexture("normTex", studs);
        draw(lit, look.technique, ball);
        place();
    }
    Effect& shadowed = effect("std_lighting_glow_shadow");
    Effect& depthOnly = effect("shadow_mapping");
    // The shadow camera of the film: the viewer's projection, 2 left, 2 up and 1 ahead.
    float lightView[16], shift[16], lightPV[16], pv[16], shadowMatrix[16];
    sm::translation(shift, 2, -2, 1);
    sm::multiply(lightView, shift, cam.view);
    sm::multiply(lightPV, lightView, cam.projection);
    float bias[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, 0.5f, 0.5f, 0.5f, 1};
    sm::multiply(shadowMatrix, lightPV, bias);
    shadowTarget.clear(0, 0, 0);
    glPolygonOffset(2.0f, -2.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    depthOnly.setMatrix("mvp", lightPV);
    draw(depthOnly, "ShadowMapping", ball);
    draw(depthOnly, "ShadowMapping", wall);
    glDisable(GL_POLYGON_OFFSET_FILL);
    sm::multiply(pv, cam.view, cam.projection);
    for (const Look& look : looks) {
        target.clear(0.02f, 0.02f, 0.03f);
        for (int pass = 0; pass < 2; ++pass) {
            bool isWall = pass == 0;
            bindLit(shadowed, cam, 1, 1, 1);
            if (!isWall) bindLit(shadowed, cam, look.diffuse ? 1.0f : 0.75f, look.diffuse ? 1.0f : 0.3f, look.diffuse ? 1.0f : 0.2f);
            shadowed.setFloat("opacity", isWall ? 1 : look.opacity);
            shadowed.setTexture("diffTex", isWall ? stripes : checker);
            shadowed.setTexture("normTex", studs);
            shadowed.setTexture("shadowMap", shadowTarget.depthTexture());
            shadowed.setMatrix("shadowMapMatrix", shadowMatrix);
            draw(shadowed, isWall ? "DiffTexTech_GlowShadow" : std::string(look.technique) + "_GlowShadow", isWall ? wall : ball);
        }
        place();
    }
    // Last row: the electro head in the main pass and in the glow pass, a monitor face.
    Effect& electro = effect("electro");
    Camera far = cameraAt(12);
    for (float front : {6.2f, 5.0f}) {
        for (float surface : {1.0f, 0.0f}) {
            target.clear(0, 0, 0);
            bindLit(electro, far, 0.45f, 0.45f, 0.5f);
            electro.setFloat4("minIntensity", 0.1f * surface, 0.1f * surface, 0.1f * surface, surface);
            electro.setFloat4("electroSource", 0, 0, -3.3f, 1);
            electro.setFloat("electroRangeFront", front);
            electro.setFloat("electroRangeTail", front - 4);
            draw(electro, "NoTexTech", sphere(3, 0, 0, 0));
            place();
        }
    }
    Effect& screens = effect("std_lighting_screens");
    target.clear(0, 0, 0);
    bindLit(screens, cam, 0.3f, 0.3f, 0.3f);
    screens.setFloat("colorMask", 1);
    screens.setFloat("creditsVisibility", 0.7f);
    unsigned seed = 7;
    screens.setTexture("noiseTex", keep(makeTexture(128, [&](float, float) {
        seed = seed * 1103515245u + 12345u;
        int v = static_cast<int>((seed >> 16) & 255);
        return Rgb{v, v, v};
    })));
    screens.setTexture("creditsTex", keep(makeTexture(128, [](float x, float y) {
        bool letter = y > 0.4f && y < 0.6f && x > 0.15f && x < 0.85f && static_cast<int>(x * 24) % 3 != 0;
        return letter ? Rgb{120, 255, 140} : Rgb{5, 15, 8};
    })));
    draw(screens, "DiffTexTech", square(1.3f, 0));
    place();

    const char* folder = std::getenv("VOLTARESCA_TEST_DATA");
    std::string path = std::string(folder ? folder : ".") + "/effects_preview.png";
    PngPicture picture;
    picture.width = kTile * kColumns;
    picture.height = kTile * kRows;
    picture.pixels = sheet.data();
    picture.bottomRowFirst = true;
    std::string error;
    EXPECT_TRUE(writePng(path, picture, error)) << error;
    EXPECT_EQ(tile, 17) << "tiles drawn; look at " << path;
    EXPECT_TRUE(log_.lines.empty()) << log_.all();
}

// ---- materials ---------------------------------------------------------------------------------

std::set<std::string> listedTextures() {
    std::set<std::string> names;
    std::string text = readFile(kContent + "/materials/TEXTURES.md");
    std::regex row(R"(^\| `([A-Za-z0-9_]+)` \|)");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::smatch m;
        std::string line = text.substr(start, end - start);
        if (std::regex_search(line, m, row)) names.insert(m[1]);
        start = end + 1;
    }
    return names;
}

// The attributes of each element of a material file, in order. Fails on what the material reader
// would not take: anything before the root, a property with a closing tag of its own.
struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
};

::testing::AssertionResult parseMaterial(const std::string& text, std::vector<Element>& out) {
    std::regex element(R"(<([A-Za-z]+)((?:\s+[A-Za-z]+="[^"]*")*)\s*(/?)>)");
    std::regex attribute(R"(([A-Za-z]+)="([^"]*)\")");
    if (text.compare(0, 1, "<") != 0 || text.compare(0, 2, "<?") == 0 || text.compare(0, 2, "<!") == 0)
        return ::testing::AssertionFailure() << "the file must start with the root element";
    std::string rest = std::regex_replace(text, std::regex("<!--[^]*?-->"), "");
    for (auto it = std::sregex_iterator(rest.begin(), rest.end(), element); it != std::sregex_iterator(); ++it) {
        Element e;
        e.name = (*it)[1];
        std::string attrs = (*it)[2];
        for (auto a = std::sregex_iterator(attrs.begin(), attrs.end(), attribute); a != std::sregex_iterator(); ++a)
            e.attributes[(*a)[1]] = (*a)[2];
        bool empty = (*it)[3] == "/";
        bool root = out.empty();
        if (!root && e.name != "Textures" && !empty)
            return ::testing::AssertionFailure() << "<" << e.name << "> must be an empty element (written with />)";
        out.push_back(e);
    }
    if (out.empty() || !out[0].attributes.count("Name")) return ::testing::AssertionFailure() << "the root has no Name";
    return ::testing::AssertionSuccess();
}

TEST(MaterialFiles, NameKnownPropertiesAndOnlyListedTextures) {
    const std::set<std::string> textures = listedTextures();
    ASSERT_GE(textures.size(), 10u) << "TEXTURES.md lists too few textures";
    const std::set<std::string> colours = {"Ambient", "Diffuse", "Specular", "Emissive"};
    const std::set<std::string> scalars = {"Opacity", "Glossiness", "SpecularLevel", "EmissiveAmount"};
    std::set<std::string> named;
    std::vector<std::string> files = filesWithExtension(kContent + "/materials", ".mat");
    ASSERT_GE(files.size(), 10u);
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        std::vector<Element> elements;
        ASSERT_TRUE(parseMaterial(readFile(path), elements));
        const std::string name = elements[0].attributes["Name"];
        const std::string stem = fs::path(path).stem().string();
        EXPECT_EQ(name, stem) << "the Name (which decides the glow) should match the file name";
        bool hasOpacity = false, inTextures = false;
        for (size_t i = 1; i < elements.size(); ++i) {
            const Element& e = elements[i];
            if (e.name == "Textures") {
                inTextures = true;
                continue;
            }
            const std::string type = e.attributes.count("Type") ? e.attributes.at("Type") : "";
            const std::string value = e.attributes.count(inTextures ? "File" : "Value")
                                          ? e.attributes.at(inTextures ? "File" : "Value")
                                          : "";
            if (inTextures) {
                EXPECT_EQ(e.name, "Texture");
                EXPECT_TRUE(type == "Diffuse" || type == "Bump" || type == "Opacity") << type;
                std::string base = fs::path(value).stem().string();
                EXPECT_TRUE(textures.count(base)) << "texture '" << base << "' is not listed in TEXTURES.md";
                continue;
            }
            float v[3];
            if (colours.count(type)) {
                EXPECT_EQ(std::sscanf(value.c_str(), "%f;%f;%f", &v[0], &v[1], &v[2]), 3) << type << " " << value;
            } else {
                ASSERT_TRUE(scalars.count(type)) << "unknown property type '" << type << "'";
                EXPECT_EQ(std::sscanf(value.c_str(), "%f", &v[0]), 1) << type << " " << value;
                if (type == "Opacity") {
                    hasOpacity = true;
                    EXPECT_GT(v[0], 0.0f);
                    EXPECT_LE(v[0], 1.0f);
                }
            }
        }
        // A material's opacity starts at 0, which would draw it fully transparent.
        EXPECT_TRUE(hasOpacity) << "every material must set its Opacity";
        named.insert(name);
    }
    for (const char* required : {"concrete", "painted_metal", "bare_metal", "rust", "glass", "rubber", "glow_lamp",
                                 "head_metal", "glow_eyes", "screen", "glow_credits"})
        EXPECT_TRUE(named.count(required)) << required;
}

}  // namespace
