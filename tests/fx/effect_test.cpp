// The effect runtime on a real GL driver: techniques and passes, parameters reaching the
// picture, samplers, render states, and broken files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "assets/effect.h"
#include "fx/runtime.h"
#include "platform/platform.h"
#include "support/gl_target.h"
#include "support/gl_test.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

// The targets the picture tests draw into.
constexpr int kTargetSize = 16;

void drawQuad() {
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
}

GLuint makeTexture(GLenum target, unsigned char r, unsigned char g, unsigned char b) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(target, texture);
    const unsigned char texel[4] = {r, g, b, 255};
    if (target == GL_TEXTURE_1D) glTexImage1D(target, 0, GL_RGBA, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    else glTexImage2D(target, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glBindTexture(target, 0);
    return texture;
}

const char* const kColourEffect = R"(
float4 diffuseColor = float4(0.6, 0.6, 0.6, 1);
float scale = 1;
float4x4 mvp;
glsl {
    void flatVS() { gl_Position = mvp * gl_Vertex; }
    vec4 flatFS() { return diffuseColor * scale; }
    vec4 halfFS() { return diffuseColor * 0.5; }
}
technique Flat { pass p0 { VertexProgram = flatVS; FragmentProgram = flatFS; } }
technique Half { pass p0 { VertexProgram = compile arbvp1 flatVS(); FragmentProgram = halfFS; } }
)";

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class EffectTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        context_ = fx::createContext();
        ASSERT_NE(context_, nullptr) << "the driver can't compile GLSL 1.20";
    }
    void TearDown() override {
        fx::destroyContext(context_);
        GLTest::TearDown();
    }
    std::unique_ptr<Effect> compile(const std::string& text, const std::string& name = "test.cfx") {
        return std::make_unique<Effect>(fx::createEffect(context_, text, name));
    }
    // Draws a full-framebuffer quad with the effect's first pass.
    static void drawWith(Effect& effect) {
        fx::Pass* pass = effect.firstPass();
        ASSERT_NE(pass, nullptr);
        ASSERT_TRUE(fx::setPassState(pass));
        drawQuad();
        fx::resetPassState(pass);
    }

    fx::Context* context_ = nullptr;
    LogCapture log_;
};

TEST_F(EffectTest, SelectingTechniquesGivesTheirPassesInOrder) {
    auto effect = compile(R"(
glsl { void vs() { gl_Position = gl_Vertex; } void fs() { gl_FragColor = vec4(1.0); } }
technique A { pass only { VertexProgram = vs; FragmentProgram = fs; } }
technique B { pass first { VertexProgram = vs; FragmentProgram = fs; }
              pass second { VertexProgram = vs; FragmentProgram = fs; } }
technique A { pass one { VertexProgram = vs; FragmentProgram = fs; }
              pass two { VertexProgram = vs; FragmentProgram = fs; }
              pass three { VertexProgram = vs; FragmentProgram = fs; } }
)");
    ASSERT_NE(effect->handle(), nullptr) << (log_.lines.empty() ? "" : log_.lines[0]);
    EXPECT_EQ(effect->techniques().size(), 2u);
    EXPECT_TRUE(effect->passes.empty());

    effect->selectTechnique("B");
    ASSERT_EQ(effect->passes.size(), 2u);
    EXPECT_EQ(effect->passes[0]->name, "first");
    EXPECT_EQ(effect->passes[1]->name, "second");

    // The later technique of a repeated name is the one kept.
    effect->selectTechnique("A");
    ASSERT_EQ(effect->passes.size(), 3u);
    EXPECT_EQ(effect->passes[0]->name, "one");
    EXPECT_EQ(effect->passes[2]->name, "three");
    effect->selectTechnique("A");
    EXPECT_EQ(effect->passes.size(), 3u);

    effect->selectTechnique("Missing");
    EXPECT_TRUE(effect->passes.empty());
    EXPECT_EQ(effect->currentTechnique(), nullptr);
    EXPECT_EQ(effect->firstPass(), nullptr);
    EXPECT_EQ(effect->techniques().size(), 3u);
    EXPECT_FALSE(fx::setPassState(effect->firstPass()));
    EXPECT_TRUE(log_.lines.empty());
}

TEST_F(EffectTest, ParametersReachThePicture) {
    auto effect = compile(kColourEffect);
    ASSERT_NE(effect->handle(), nullptr) << (log_.lines.empty() ? "" : log_.lines[0]);
    GlTarget target(kTargetSize, kTargetSize);

    // Values set before the technique is chosen still arrive; unknown names and wrong sizes
    // change nothing.
    effect->setFloat4("diffuseColor", 1, 0, 0, 1);
    effect->setMatrix("mvp", kIdentity);
    effect->setFloat4("noSuchParameter", 0, 1, 0, 1);
    effect->setFloat2("diffuseColor", 0, 1);
    effect->setTexture("diffuseColor", 1);
    effect->selectTechnique("Flat");
    drawWith(*effect);
    EXPECT_EQ(target.centre(), (std::vector<int>{255, 0, 0, 255}));

    // Another program of the same effect sees the current value, and the first program picks
    // up a change made while the other was in use.
    effect->selectTechnique("Half");
    drawWith(*effect);
    EXPECT_EQ(target.centre(), (std::vector<int>{128, 0, 0, 128}));
    effect->setFloat4("diffuseColor", 0, 1, 0, 1);
    drawWith(*effect);
    effect->selectTechnique("Flat");
    effect->setFloat("scale", 0.5f);
    drawWith(*effect);
    EXPECT_EQ(target.centre(), (std::vector<int>{0, 128, 0, 128}));

    // Matrices are column-major: a translation by x = 5 in elements 12 moves the quad away.
    float shifted[16];
    std::copy(kIdentity, kIdentity + 16, shifted);
    shifted[12] = 5;
    effect->setMatrix("mvp", shifted);
    glClear(GL_COLOR_BUFFER_BIT);
    drawWith(*effect);
    EXPECT_EQ(target.centre(), (std::vector<int>{0, 0, 0, 0}));

    // After the reset, fixed-function drawing is what it was.
    GLint program = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
    glColor4f(0, 0, 1, 1);
    drawQuad();
    EXPECT_EQ(target.centre(), (std::vector<int>{0, 0, 255, 255}));
    EXPECT_TRUE(log_.lines.empty());
}

TEST_F(EffectTest, SamplersStateAndTextures) {
    auto effect = compile(R"(
sampler2D diffTex = sampler_state { MinFilter = LinearMipMapLinear; MagFilter = Nearest;
                                    WrapS = ClampToEdge; WrapT = MirroredRepeat; };
sampler1D noiseTex = sampler_state { MinFilter = Nearest; MagFilter = Nearest; WrapS = Repeat; };
sampler2DShadow shadowMap = sampler_state { MinFilter = Nearest; MagFilter = Nearest;
    CompareMode = CompareRToTexture; CompareFunc = LEqual; DepthTextureMode = Intensity; };
float depth = 0.5;
glsl {
    void vs() { gl_Position = gl_Vertex; }
    vec4 twoFS() { return vec4(texture2D(diffTex, vec2(0.5)).r, texture1D(noiseTex, 0.5).g, 0.0, 1.0); }
    vec4 shadowFS() { return vec4(shadow2D(shadowMap, vec3(0.5, 0.5, depth)).rrr, 1.0); }
}
technique Two { pass p0 { VertexProgram = vs; FragmentProgram = twoFS; } }
technique Shadow { pass p0 { VertexProgram = vs; FragmentProgram = shadowFS; } }
)");
    ASSERT_NE(effect->handle(), nullptr) << (log_.lines.empty() ? "" : log_.lines[0]);
    GlTarget target(kTargetSize, kTargetSize);
    GLuint red = makeTexture(GL_TEXTURE_2D, 255, 0, 0);
    GLuint green = makeTexture(GL_TEXTURE_1D, 0, 255, 0);

    effect->setTexture("diffTex", red);
    effect->setTexture("noiseTex", green);
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, red);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_MIRRORED_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_1D, green);
    glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glBindTexture(GL_TEXTURE_1D, 0);

    // The 2-D texture has no mipmaps: nearest filtering keeps it complete for the draw.
    glBindTexture(GL_TEXTURE_2D, red);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    effect->selectTechnique("Two");
    drawWith(*effect);
    EXPECT_EQ(target.centre(), (std::vector<int>{255, 255, 0, 255}));
    GLint unit = 0, bound = -1;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE0);
    glActiveTextureARB(GL_TEXTURE1);
    glGetIntegerv(GL_TEXTURE_BINDING_1D, &bound);
    glActiveTextureARB(GL_TEXTURE0);
    EXPECT_EQ(bound, 0);

    // A depth texture of 0.5 everywhere: a reference depth in front of it is lit, behind it
    // is in shadow.
    GLuint depthTexture = 0;
    glGenTextures(1, &depthTexture);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    const float depths[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, 2, 2, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depths);
    glBindTexture(GL_TEXTURE_2D, 0);
    effect->setTexture("shadowMap", depthTexture);
    effect->selectTechnique("Shadow");
    effect->setFloat("depth", 0.25f);
    drawWith(*effect);
    EXPECT_EQ(target.centre(), (std::vector<int>{255, 255, 255, 255}));
    effect->setFloat("depth", 0.75f);
    drawWith(*effect);
    EXPECT_EQ(target.centre(), (std::vector<int>{0, 0, 0, 255}));

    glDeleteTextures(1, &depthTexture);
    glDeleteTextures(1, &red);
    glDeleteTextures(1, &green);
    EXPECT_TRUE(log_.lines.empty());
}

TEST_F(EffectTest, RenderStatesHoldBetweenSetAndResetOnly) {
    auto effect = compile(R"(
glsl { void vs() { gl_Position = gl_Vertex; } void fs() { gl_FragColor = vec4(1.0); } }
technique T { pass p0 {
    VertexProgram = vs; FragmentProgram = fs;
    DepthTestEnable = true; DepthMask = false; DepthFunc = Greater;
    BlendEnable = true; BlendFunc = int2(SrcAlpha, OneMinusSrcAlpha);
    CullFaceEnable = true; CullFace = Front;
    AlphaTestEnable = true; AlphaFunc = float2(GEqual, 0.25);
    PolygonOffsetFillEnable = true; PolygonOffset = float2(2.0, -2.0);
    ColorMask = bool4(true, false, true, false);
} }
)");
    ASSERT_NE(effect->handle(), nullptr) << (log_.lines.empty() ? "" : log_.lines[0]);
    struct Snapshot {
        GLboolean depthTest, blend, cull, alphaTest, offsetFill, depthMask, colour[4];
        GLint depthFunc, blendSrc, blendDst, cullMode, alphaFunc, program;
        GLfloat alphaRef, offsetFactor, offsetUnits;
    };
    auto snapshot = [] {
        Snapshot s{};
        s.depthTest = glIsEnabled(GL_DEPTH_TEST);
        s.blend = glIsEnabled(GL_BLEND);
        s.cull = glIsEnabled(GL_CULL_FACE);
        s.alphaTest = glIsEnabled(GL_ALPHA_TEST);
        s.offsetFill = glIsEnabled(GL_POLYGON_OFFSET_FILL);
        glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
        glGetBooleanv(GL_COLOR_WRITEMASK, s.colour);
        glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
        glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
        glGetIntegerv(GL_BLEND_DST, &s.blendDst);
        glGetIntegerv(GL_CULL_FACE_MODE, &s.cullMode);
        glGetIntegerv(GL_ALPHA_TEST_FUNC, &s.alphaFunc);
        glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
        glGetFloatv(GL_ALPHA_TEST_REF, &s.alphaRef);
        glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &s.offsetFactor);
        glGetFloatv(GL_POLYGON_OFFSET_UNITS, &s.offsetUnits);
        return s;
    };
    glDepthFunc(GL_LEQUAL);  // something other than the default, to see it come back
    const Snapshot before = snapshot();
    effect->selectTechnique("T");
    ASSERT_TRUE(fx::setPassState(effect->firstPass()));
    const Snapshot during = snapshot();
    fx::resetPassState(effect->firstPass());
    const Snapshot after = snapshot();

    EXPECT_TRUE(during.depthTest && during.blend && during.cull && during.alphaTest && during.offsetFill);
    EXPECT_FALSE(during.depthMask);
    EXPECT_EQ(during.depthFunc, GL_GREATER);
    EXPECT_EQ(during.blendSrc, GL_SRC_ALPHA);
    EXPECT_EQ(during.blendDst, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(during.cullMode, GL_FRONT);
    EXPECT_EQ(during.alphaFunc, GL_GEQUAL);
    EXPECT_FLOAT_EQ(during.alphaRef, 0.25f);
    EXPECT_FLOAT_EQ(during.offsetFactor, 2.0f);
    EXPECT_FLOAT_EQ(during.offsetUnits, -2.0f);
    EXPECT_TRUE(during.colour[0] && !during.colour[1] && during.colour[2] && !during.colour[3]);
    EXPECT_EQ(during.program, static_cast<GLint>(effect->firstPass()->program));

    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "a state the pass changed was not restored";
    EXPECT_EQ(after.depthFunc, GL_LEQUAL);
    glDepthFunc(GL_LESS);
}

struct BrokenCase {
    const char* what;
    const char* text;
    int line;
    const char* mention;  // a piece of the reason the log line must carry
};

const BrokenCase kBroken[] = {
    {"missing brace", "glsl { void vs() { gl_Position = gl_Vertex; } void fs() { gl_FragColor = vec4(1.0); } }\n"
                      "technique T {\n  pass p0 { VertexProgram = vs; FragmentProgram = fs; }\n",
     2, "no closing '}'"},
    {"unknown state", "glsl { void vs() { gl_Position = gl_Vertex; } void fs() { gl_FragColor = vec4(1.0); } }\n"
                      "technique T { pass p0 {\n VertexProgram = vs; FragmentProgram = fs;\n"
                      " StencilEnable = true;\n} }\n",
     4, "unknown state 'StencilEnable'"},
    {"glsl syntax error", "float4 c;\nglsl {\n  void vs() { gl_Position = gl_Vertex; }\n"
                          "  void fs() {\n    gl_FragColor = c +;\n  }\n}\n"
                          "technique T { pass p0 { VertexProgram = vs; FragmentProgram = fs; } }\n",
     5, "fragment program 'fs'"},
    {"link error", "glsl {\n  void vs() { gl_Position = gl_Vertex; }\n  vec4 shade();\n"
                   "  void fs() { gl_FragColor = shade(); }\n}\n"
                   "technique T {\n  pass p0 { VertexProgram = vs; FragmentProgram = fs; }\n}\n",
     7, "doesn't link"},
    {"missing entry function", "glsl { void vs() { gl_Position = gl_Vertex; } }\n"
                               "technique T { pass p0 {\n VertexProgram = vs;\n FragmentProgram = nowhere; } }\n",
     4, "no function 'nowhere'"},
    {"bad default", "float4 c = float4(1, 2);\n", 1, "needs 4 values"},
};

TEST_F(EffectTest, BrokenFilesGiveAnEffectWithoutTechniquesAndOneLogLine) {
    for (const BrokenCase& c : kBroken) {
        SCOPED_TRACE(c.what);
        log_.lines.clear();
        auto effect = compile(c.text, "effects/broken.cfx");
        EXPECT_EQ(effect->handle(), nullptr);
        EXPECT_TRUE(effect->techniques().empty());
        effect->selectTechnique("T");
        EXPECT_TRUE(effect->passes.empty());
        effect->setFloat4("c", 1, 1, 1, 1);
        effect->setTexture("c", 1);
        ASSERT_EQ(log_.lines.size(), 1u);
        const std::string& line = log_.lines[0];
        EXPECT_NE(line.find("DemoController: error: effect 'effects/broken.cfx' line " + std::to_string(c.line) + ": "),
                  std::string::npos)
            << line;
        EXPECT_NE(line.find(c.mention), std::string::npos) << line;
    }
}

TEST_F(EffectTest, LoaderReachesTheContextThroughTheServiceProvider) {
    TempDir dir;
    std::string good = dir.write("effects/flat.cfx", kColourEffect);
    std::string broken = dir.write("effects/broken.cfx", "technique {");
    CgContextService service(context_);
    ServiceProvider provider;
    provider.add(cgContextServiceKey(), static_cast<ICgContextService*>(&service));
    EffectLoader loader;

    std::unique_ptr<IDisposable> loaded(loader.load(good.c_str(), &provider));
    auto* effect = dynamic_cast<Effect*>(loaded.get());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->techniques().size(), 2u);

    // A broken file still counts as loaded; an unreadable one too, both with a log line.
    std::unique_ptr<IDisposable> failed(loader.load(broken.c_str(), &provider));
    ASSERT_NE(dynamic_cast<Effect*>(failed.get()), nullptr);
    EXPECT_TRUE(dynamic_cast<Effect*>(failed.get())->techniques().empty());
    std::unique_ptr<IDisposable> missing(loader.load((dir.path() + "effects/none.cfx").c_str(), &provider));
    ASSERT_NE(missing, nullptr);
    ASSERT_EQ(log_.lines.size(), 2u);
    EXPECT_NE(log_.lines[0].find("broken.cfx' line 1"), std::string::npos) << log_.lines[0];
    EXPECT_NE(log_.lines[1].find("none.cfx"), std::string::npos) << log_.lines[1];

    // Without the service there is no context to compile with.
    ServiceProvider empty;
    EXPECT_EQ(loader.load(good.c_str(), &empty), nullptr);
}

TEST_F(EffectTest, TheDocumentedExampleCompiles) {
    std::string doc = readFile(std::string(VOLTARESCA_SOURCE_DIR) + "/docs/effects.md");
    size_t at = doc.find("## A complete small example");
    ASSERT_NE(at, std::string::npos);
    std::string example;
    for (size_t line = doc.find('\n', at) + 1; line < doc.size();) {
        size_t end = doc.find('\n', line);
        if (end == std::string::npos) end = doc.size();
        std::string text = doc.substr(line, end - line);
        example += (text.compare(0, 4, "    ") == 0 ? text.substr(4) : text) + "\n";
        line = end + 1;
    }
    auto effect = compile(example, "flat.cfx");
    ASSERT_NE(effect->handle(), nullptr) << (log_.lines.empty() ? "" : log_.lines[0]);
    EXPECT_EQ(effect->techniques().size(), 4u);
}

// A pass that cannot be built (more samplers than texture units) leaves no linked program.
TEST_F(EffectTest, APassWithTooManySamplersLeavesNoProgram) {
    const auto isProgram = reinterpret_cast<PFNGLISPROGRAMPROC>(platform::glProcAddress("glIsProgram"));
    ASSERT_NE(isProgram, nullptr);
    const auto programs = [&] {
        int n = 0;
        for (GLuint name = 1; name < 4096; ++name) n += isProgram(name) ? 1 : 0;
        return n;
    };
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &units);
    // Half the samplers in each stage, so that the driver links what the runtime cannot bind.
    const int each = units / 2 + 1;
    std::string text, vertexSum = "vec4(0.0)", fragmentSum = "vec4(0.0)";
    for (int i = 0; i < 2 * each; ++i) {
        const std::string name = "s" + std::to_string(i);
        text += "sampler2D " + name + " = sampler_state { MinFilter = Nearest; MagFilter = Nearest; };\n";
        (i < each ? vertexSum : fragmentSum) += " + texture2DLod(" + name + ", vec2(0.5), 0.0)";
    }
    for (size_t at; (at = fragmentSum.find("texture2DLod(")) != std::string::npos;)
        fragmentSum.replace(at, 13, "texture2D(");
    for (size_t at; (at = fragmentSum.find(", 0.0)")) != std::string::npos;) fragmentSum.replace(at, 6, ")");
    text += "glsl {\n    void vs() { gl_FrontColor = " + vertexSum + "; gl_Position = gl_Vertex; }\n"
            "    vec4 fs() { return gl_Color + " + fragmentSum + "; }\n}\n"
            "technique Many { pass p0 { VertexProgram = vs; FragmentProgram = fs; } }\n";
    const int before = programs();
    auto effect = compile(text, "many.cfx");
    EXPECT_EQ(effect->handle(), nullptr);
    EXPECT_TRUE(log_.contains("texture units")) << log_.all();
    EXPECT_EQ(programs(), before);
}

// The program's effect files as GLSL ES 3.00 (the browser's dialect): no stage keeps a word that
// only GLSL 1.20 has (a desktop driver may take some of them in ES code, WebGL 2 takes none),
// and every pass compiles and links where the driver takes ES 3.00 shaders.
TEST_F(EffectTest, EveryEffectFileBuildsAsGlslEs) {
    const std::regex desktopOnly(
        "\\b(gl_Vertex|gl_Normal|gl_MultiTexCoord\\d|gl_FragColor|gl_Color|varying|attribute|texture[12]D\\w*|"
        "shadow2D\\w*|sampler1D|ftransform|gl_\\w*Matrix\\w*)\\b");
    const std::regex comment("//[^\\n]*|/\\*[\\s\\S]*?\\*/");
    fx::Context* es = fx::createContext(fx::Dialect::Essl300);
    int files = 0, passes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(VOLTARESCA_SOURCE_DIR) + "/content/effects")) {
        if (entry.path().extension() != ".cfx") continue;
        ++files;
        const std::string name = entry.path().filename().string();
        const std::string text = readFile(entry.path().string());
        fx::EffectFile file;
        fx::FxError error;
        ASSERT_TRUE(fx::parseEffectFile(text, file, error)) << name;
        for (const fx::TechniqueDecl& t : file.techniques)
            for (const fx::PassDecl& p : t.passes)
                for (auto [stage, entryName] : {std::pair{fx::Stage::Vertex, p.vertexProgram}, {fx::Stage::Fragment, p.fragmentProgram}}) {
                    fx::GlslSource source;
                    std::string problem;
                    ASSERT_TRUE(fx::makeStageSource(file, stage, entryName, source, problem, fx::Dialect::Essl300)) << problem;
                    const std::string code = std::regex_replace(source.text, comment, " ");
                    std::smatch found;
                    EXPECT_FALSE(std::regex_search(code, found, desktopOnly))
                        << name << " " << entryName << " keeps '" << found.str() << "'";
                }
        if (!es) continue;
        fx::CompiledEffect* effect = fx::createEffect(es, text, name);
        EXPECT_NE(effect, nullptr) << name << ": " << log_.all();
        if (!effect) continue;
        passes += static_cast<int>(effect->passes.size());
        fx::destroyEffect(effect);
    }
    EXPECT_EQ(files, 8);
    if (!es) GTEST_SKIP() << "the driver compiles no GLSL ES 3.00";
    fx::destroyContext(es);
    EXPECT_GE(passes, 24);
}

}  // namespace
