// One lit part as the renderers draw it: select a technique, set 12 parameters and 2 textures
// by name, set the pass, draw a small part, reset; against the same GL state changes made
// directly with locations and units looked up once. Two parts alternate so every value changes.
//
//   xvfb-run -a env LIBGL_ALWAYS_SOFTWARE=1 build/bench/fx/fx_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "assets/effect.h"
#include "gl/gl.h"
#include "fx/runtime.h"
#include "platform/platform.h"

namespace {

const char* const kLitEffect = R"(
float4 ambientColor; float4 diffuseColor; float4 specularColor; float4 emissiveColor;
float opacity; float glossiness; float specularLevel;
float4x4 mvp; float4x4 world;
float3 lightPosition; float3 eyePosition;
float4 colorMask;
sampler2D diffTex = sampler_state { MinFilter = Linear; MagFilter = Linear; WrapS = Repeat; WrapT = Repeat; };
sampler2D normTex = sampler_state { MinFilter = Linear; MagFilter = Linear; WrapS = Repeat; WrapT = Repeat; };
glsl {
    varying vec3 worldNormal; varying vec3 worldPos; varying vec2 uv;
    void litVS() {
        worldPos = (world * gl_Vertex).xyz;
        worldNormal = (world * vec4(gl_Normal, 0.0)).xyz;
        uv = gl_MultiTexCoord1.xy;
        gl_Position = mvp * gl_Vertex;
    }
    vec4 litFS() {
        vec3 n = normalize(worldNormal + texture2D(normTex, uv).xyz - 0.5);
        vec3 l = normalize(lightPosition - worldPos);
        vec3 h = normalize(l + normalize(eyePosition - worldPos));
        vec4 base = texture2D(diffTex, uv);
        vec3 c = ambientColor.rgb + diffuseColor.rgb * base.rgb * max(dot(n, l), 0.0)
               + specularColor.rgb * specularLevel * pow(max(dot(n, h), 0.0), glossiness) + emissiveColor.rgb;
        return vec4(c, opacity) * colorMask;
    }
}
technique DiffTexBumpTech { pass p0 { VertexProgram = litVS; FragmentProgram = litFS;
    DepthTestEnable = true; DepthFunc = LEqual; CullFaceEnable = true; } }
)";

struct PartValues {
    float colours[4][4];
    float opacity, glossiness, specularLevel;
    float mvp[16], world[16];
    float light[3], eye[3];
    float colorMask[4];
    GLuint diffuse, normal;
};

struct Scene {
    platform::Window* window = nullptr;
    fx::Context* context = nullptr;
    Effect* effect = nullptr;
    GLuint buffer = 0;
    GLsizei vertexCount = 36;
    PartValues parts[2];
};
Scene scene;

GLuint makeTexture(unsigned char shade) {
    std::vector<unsigned char> texels(16 * 16 * 4, shade);
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return t;
}

bool setUp() {
    platform::WindowDesc desc;
    desc.title = "fx bench";
    desc.width = 64;
    desc.height = 64;
    desc.hidden = true;
    scene.window = platform::createWindow(desc);
    if (!scene.window || !loadGLExtensions()) return false;
    scene.context = fx::createContext();
    if (!scene.context) return false;
    scene.effect = new Effect(fx::createEffect(scene.context, kLitEffect, "bench.cfx"));
    if (!scene.effect->handle()) return false;
    // A small part: 12 triangles of 15-float vertices, as the model loader lays them out.
    std::vector<float> vertices(static_cast<size_t>(scene.vertexCount) * 15, 0.0f);
    for (int v = 0; v < scene.vertexCount; ++v) {
        float* p = &vertices[static_cast<size_t>(v) * 15];
        p[0] = (v % 3 == 1) ? 0.5f : -0.5f;
        p[1] = (v % 3 == 2) ? 0.5f : -0.5f;
        p[2] = 0.01f * static_cast<float>(v);
        p[3] = 1;
        p[6] = 1;
        p[7] = 1;
        p[11] = 1;
        p[12] = p[0];
        p[13] = p[1];
        p[14] = 1;
    }
    glGenBuffersARB(1, &scene.buffer);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, scene.buffer);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(vertices.size() * sizeof(float)), vertices.data(),
                    GL_STATIC_DRAW_ARB);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    for (int i = 0; i < 2; ++i) {
        PartValues& p = scene.parts[i];
        float k = 0.1f * static_cast<float>(i + 1);
        for (int c = 0; c < 4; ++c)
            for (int j = 0; j < 4; ++j) p.colours[c][j] = k * static_cast<float>(c + 1);
        p.opacity = 1.0f - k;
        p.glossiness = 64.0f + k;
        p.specularLevel = 0.4f * k;
        for (int j = 0; j < 16; ++j) p.mvp[j] = p.world[j] = (j % 5 == 0) ? 1.0f - k : 0.0f;
        for (int j = 0; j < 3; ++j) p.light[j] = p.eye[j] = k * static_cast<float>(j);
        for (int j = 0; j < 4; ++j) p.colorMask[j] = 1.0f - k;
        p.diffuse = makeTexture(static_cast<unsigned char>(100 + i));
        p.normal = makeTexture(static_cast<unsigned char>(128 + i));
    }
    glViewport(0, 0, 64, 64);
    return true;
}

void drawPart() {
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, scene.buffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(4, GL_FLOAT, 60, reinterpret_cast<const void*>(0));
    glNormalPointer(GL_FLOAT, 60, reinterpret_cast<const void*>(16));
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glTexCoordPointer(4, GL_FLOAT, 60, reinterpret_cast<const void*>(32));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glTexCoordPointer(3, GL_FLOAT, 60, reinterpret_cast<const void*>(48));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glDrawArrays(GL_TRIANGLES, 0, scene.vertexCount);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void litPartThroughRuntime(const PartValues& p, bool draw) {
    Effect& e = *scene.effect;
    e.selectTechnique("DiffTexBumpTech");
    e.setFloat4("ambientColor", p.colours[0][0], p.colours[0][1], p.colours[0][2], 1);
    e.setFloat4("diffuseColor", p.colours[1][0], p.colours[1][1], p.colours[1][2], 1);
    e.setFloat4("specularColor", p.colours[2][0], p.colours[2][1], p.colours[2][2], 1);
    e.setFloat4("emissiveColor", p.colours[3][0], p.colours[3][1], p.colours[3][2], 1);
    e.setFloat("opacity", p.opacity);
    e.setFloat("glossiness", p.glossiness);
    e.setFloat("specularLevel", p.specularLevel);
    e.setTexture("diffTex", p.diffuse);
    e.setTexture("normTex", p.normal);
    e.setMatrix("mvp", p.mvp);
    e.setMatrix("world", p.world);
    e.setFloat3("lightPosition", p.light[0], p.light[1], p.light[2]);
    e.setFloat3("eyePosition", p.eye[0], p.eye[1], p.eye[2]);
    e.setFloat4("colorMask", p.colorMask[0], p.colorMask[1], p.colorMask[2], p.colorMask[3]);
    fx::Pass* pass = e.firstPass();
    if (!fx::setPassState(pass)) return;
    if (draw) drawPart();
    fx::resetPassState(pass);
}

// Locations and units found once, as hand-written GL code would keep them.
struct Direct {
    GLuint program = 0;
    GLint colours[4], opacity, glossiness, specularLevel, mvp, world, light, eye, colorMask, diffTex, normTex;
};
Direct direct;

void findLocations() {
    direct.program = scene.effect->firstPass() ? scene.effect->firstPass()->program : 0;
    if (!direct.program) {
        scene.effect->selectTechnique("DiffTexBumpTech");
        direct.program = scene.effect->firstPass()->program;
    }
    const char* colourNames[4] = {"ambientColor", "diffuseColor", "specularColor", "emissiveColor"};
    for (int i = 0; i < 4; ++i) direct.colours[i] = glGetUniformLocation(direct.program, colourNames[i]);
    direct.opacity = glGetUniformLocation(direct.program, "opacity");
    direct.glossiness = glGetUniformLocation(direct.program, "glossiness");
    direct.specularLevel = glGetUniformLocation(direct.program, "specularLevel");
    direct.mvp = glGetUniformLocation(direct.program, "mvp");
    direct.world = glGetUniformLocation(direct.program, "world");
    direct.light = glGetUniformLocation(direct.program, "lightPosition");
    direct.eye = glGetUniformLocation(direct.program, "eyePosition");
    direct.colorMask = glGetUniformLocation(direct.program, "colorMask");
}

void samplerStates(GLuint texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void litPartDirect(const PartValues& p, bool draw) {
    samplerStates(p.diffuse);
    samplerStates(p.normal);
    glUseProgram(direct.program);
    for (int i = 0; i < 4; ++i) {
        const float c[4] = {p.colours[i][0], p.colours[i][1], p.colours[i][2], 1};
        glUniform4fv(direct.colours[i], 1, c);
    }
    glUniform1fv(direct.opacity, 1, &p.opacity);
    glUniform1fv(direct.glossiness, 1, &p.glossiness);
    glUniform1fv(direct.specularLevel, 1, &p.specularLevel);
    glUniformMatrix4fv(direct.mvp, 1, GL_FALSE, p.mvp);
    glUniformMatrix4fv(direct.world, 1, GL_FALSE, p.world);
    glUniform3fv(direct.light, 1, p.light);
    glUniform3fv(direct.eye, 1, p.eye);
    glUniform4fv(direct.colorMask, 1, p.colorMask);
    glActiveTextureARB(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, p.diffuse);
    glActiveTextureARB(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, p.normal);
    glActiveTextureARB(GL_TEXTURE0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    if (draw) drawPart();
    glDisable(GL_CULL_FACE);
    glDepthFunc(GL_LESS);
    glDisable(GL_DEPTH_TEST);
    glActiveTextureARB(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTextureARB(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
}

void BM_LitPartRuntime(benchmark::State& state) {
    const bool draw = state.range(0) != 0;
    int i = 0;
    for (auto _ : state) litPartThroughRuntime(scene.parts[i++ & 1], draw);
    glFinish();
}

void BM_LitPartDirect(benchmark::State& state) {
    const bool draw = state.range(0) != 0;
    int i = 0;
    for (auto _ : state) litPartDirect(scene.parts[i++ & 1], draw);
    glFinish();
}

// Interleaved, so both see the same machine load; argument 1 draws the part, 0 only changes state.
BENCHMARK(BM_LitPartDirect)->Arg(1)->Arg(0);
BENCHMARK(BM_LitPartRuntime)->Arg(1)->Arg(0);

}  // namespace

int main(int argc, char** argv) {
    if (!platform::init() || !setUp()) {
        std::fprintf(stderr, "fx_bench: no GL window or GLSL 1.20 (%s); run it under xvfb-run\n",
                     platform::lastError().c_str());
        return 1;
    }
    findLocations();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete scene.effect;
    fx::destroyContext(scene.context);
    platform::destroyWindow(scene.window);
    return 0;
}
