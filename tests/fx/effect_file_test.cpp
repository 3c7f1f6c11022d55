// The effect file parser and the GLSL each entry function gets, without a GL driver.
#include <gtest/gtest.h>

#include "fx/effect_file.h"
#include "fx/glsl_program.h"

namespace {

const char* const kFile = R"(// comment before everything
float4 diffuseColor = float4(0.6, 0.6, 0.6, 1);
float opacity = 0.5f;
float4x4 mvp;
sampler2D diffTex = sampler_state { MinFilter = LinearMipMapLinear; WrapS = Repeat; };
/* a block comment
   over two lines */
glsl {
    varying vec3 normal; // { braces in comments } don't count
    vec3 light(vec3 n) { return n * 0.5; }
    void litVS() {
        normal = gl_Normal;
        gl_Position = mvp * gl_Vertex;
    }
    vec4 litFS() { return vec4(light(normal), opacity) * texture2D(diffTex, vec2(0.0)); }
}
technique DiffTexTech {
    pass p0 {
        VertexProgram = compile vp40 litVS();
        FragmentProgram = litFS;
        BlendEnable = true;
        blendfunc = int2(SrcAlpha, OneMinusSrcAlpha);
        ColorMask = bool4(true, true, true, false);
    }
}
)";

TEST(EffectFile, ReadsParametersCodeAndTechniques) {
    fx::EffectFile file;
    fx::FxError error;
    ASSERT_TRUE(fx::parseEffectFile(kFile, file, error)) << error.line << ": " << error.message;

    ASSERT_EQ(file.params.size(), 4u);
    EXPECT_EQ(file.params[0].name, "diffuseColor");
    EXPECT_EQ(file.params[0].type, fx::ParamType::Float4);
    EXPECT_FLOAT_EQ(file.params[0].value[3], 1.0f);
    EXPECT_FLOAT_EQ(file.params[1].value[0], 0.5f);
    EXPECT_EQ(file.params[1].line, 3);
    const fx::ParamDecl& sampler = file.params[3];
    ASSERT_EQ(sampler.samplerStates.size(), 2u);
    EXPECT_EQ(sampler.samplerStates[0].pname, static_cast<GLenum>(GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(sampler.samplerStates[0].value, GL_LINEAR_MIPMAP_LINEAR);

    ASSERT_EQ(file.code.size(), 1u);
    EXPECT_EQ(file.code[0].firstLine, 8);

    ASSERT_EQ(file.techniques.size(), 1u);
    const fx::PassDecl& pass = file.techniques[0].passes.at(0);
    EXPECT_EQ(pass.vertexProgram, "litVS");
    EXPECT_EQ(pass.fragmentProgram, "litFS");
    EXPECT_EQ(pass.vertexLine, 19);
    ASSERT_EQ(pass.states.size(), 3u);
    EXPECT_EQ(pass.states[1].kind, fx::RenderStateKind::BlendFunc);  // state names ignore case
    EXPECT_EQ(pass.states[1].ints[1], GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(pass.states[2].ints[3], 0);
}

TEST(EffectFile, EachStageGetsOnlyTheCodeItsEntryReaches) {
    fx::EffectFile file;
    fx::FxError error;
    ASSERT_TRUE(fx::parseEffectFile(kFile, file, error));
    fx::GlslSource vertex, fragment;
    std::string problem;
    ASSERT_TRUE(fx::makeStageSource(file, fx::Stage::Vertex, "litVS", vertex, problem)) << problem;
    ASSERT_TRUE(fx::makeStageSource(file, fx::Stage::Fragment, "litFS", fragment, problem)) << problem;

    EXPECT_EQ(vertex.text.find("gl_FragColor"), std::string::npos);
    EXPECT_EQ(vertex.text.find("vec3 light("), std::string::npos);
    EXPECT_NE(vertex.text.find("uniform mat4 mvp;"), std::string::npos);
    EXPECT_NE(vertex.text.find("void main() { litVS(); }"), std::string::npos);
    EXPECT_EQ(fragment.text.find("gl_Normal"), std::string::npos);
    EXPECT_NE(fragment.text.find("vec3 light("), std::string::npos);
    EXPECT_NE(fragment.text.find("gl_FragColor = litFS();"), std::string::npos);
    EXPECT_NE(fragment.text.find("varying vec3 normal;"), std::string::npos);

    // Every line of the generated text knows its line in the file.
    int lineOfLight = 0;
    size_t at = fragment.text.find("vec3 light(");
    for (size_t i = 0; i < at; ++i) lineOfLight += fragment.text[i] == '\n';
    EXPECT_EQ(fragment.lineMap.at(static_cast<size_t>(lineOfLight)), 10);

    EXPECT_FALSE(fx::makeStageSource(file, fx::Stage::Vertex, "light", vertex, problem));
    EXPECT_NE(problem.find("void or vec4"), std::string::npos);
}

TEST(EffectFile, CompilerMessagesPointIntoTheFile) {
    const std::vector<int> map = {0, 0, 40, 41, 42};
    fx::FxError mesa = fx::firstCompilerError("0:4(12): warning: x\n0:5(3): error: syntax error, unexpected ';'\n", map);
    EXPECT_EQ(mesa.line, 42);
    EXPECT_EQ(mesa.message, "syntax error, unexpected ';'");
    fx::FxError nvidia = fx::firstCompilerError("0(3) : error C0000: syntax error", map);
    EXPECT_EQ(nvidia.line, 40);
    fx::FxError generated = fx::firstCompilerError("0:1(1): error: redefinition", map);
    EXPECT_EQ(generated.line, 0);
    fx::FxError beyond = fx::firstCompilerError("0:99(1): error: far away", map);
    EXPECT_EQ(beyond.line, 0);
}

TEST(EffectFile, ErrorsNameTheLine) {
    struct Case {
        const char* text;
        int line;
    } cases[] = {
        {"float4 a;\nfloat4 a;\n", 2},
        {"float3 p = float3(1, 2, 3)\ntechnique", 2},
        {"sampler2D s = sampler_state {\n  MinFilter = Bilinear;\n};", 2},
        {"vec4 x;", 1},
        {"glsl {\n void f() {\n", 1},
        {"glsl { }\ntechnique T {\n}\n", 2},
        {"technique T { pass p { VertexProgram = v;\n } }", 1},
        {"float f = -.;", 1},
        {"float f = 1;\nfloat4 g = float4(1, 2, 3 4);", 2},
    };
    for (const Case& c : cases) {
        fx::EffectFile file;
        fx::FxError error;
        EXPECT_FALSE(fx::parseEffectFile(c.text, file, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text << " -> " << error.message;
        EXPECT_FALSE(error.message.empty());
    }
}

}  // namespace
