// The effect file format: parameters with defaults and sampler states, GLSL code blocks, and
// techniques made of passes with their programs and render states. docs/effects.md has the
// grammar; this is its parsed form, before any GL object exists.
#pragma once

#include <string>
#include <vector>

#include "gl/gl.h"

namespace fx {

enum class ParamType { Float, Float2, Float3, Float4, Float4x4, Sampler1D, Sampler2D, Sampler2DShadow };

int floatCount(ParamType type);  // 0 for samplers
bool isSampler(ParamType type);
GLenum textureTarget(ParamType type);  // GL_TEXTURE_1D or GL_TEXTURE_2D; 0 for values
const char* glslTypeName(ParamType type);

// One glTexParameteri that a sampler applies to every texture it is given.
struct SamplerState {
    GLenum pname = 0;
    GLint value = 0;
};

struct ParamDecl {
    std::string name;
    ParamType type = ParamType::Float;
    float value[16] = {};  // the default; zero unless the file gives one
    std::vector<SamplerState> samplerStates;
    int line = 0;
};

enum class RenderStateKind {
    DepthTestEnable,
    DepthMask,
    DepthFunc,
    BlendEnable,
    BlendFunc,
    CullFaceEnable,
    CullFace,
    AlphaTestEnable,
    AlphaFunc,
    PolygonOffsetFillEnable,
    PolygonOffset,
    ColorMask,
};

// A render state assignment of a pass: booleans and enums in `ints`, numbers in `floats`.
struct RenderState {
    RenderStateKind kind = RenderStateKind::DepthTestEnable;
    GLint ints[4] = {};
    GLfloat floats[4] = {};
    int line = 0;
};

struct PassDecl {
    std::string name;
    int line = 0;
    std::string vertexProgram;
    std::string fragmentProgram;
    int vertexLine = 0;
    int fragmentLine = 0;
    std::vector<RenderState> states;
};

struct TechniqueDecl {
    std::string name;
    int line = 0;
    std::vector<PassDecl> passes;
};

// The GLSL between the braces of a `glsl { ... }` block; firstLine is the line of its first
// character in the effect file.
struct CodeBlock {
    std::string text;
    int firstLine = 0;
};

struct EffectFile {
    std::vector<ParamDecl> params;
    std::vector<CodeBlock> code;
    std::vector<TechniqueDecl> techniques;  // file order
};

// What went wrong and where (line 0: no particular line).
struct FxError {
    int line = 0;
    std::string message;
};

// Parses the text of an effect file. On false, `error` says where and why.
bool parseEffectFile(const std::string& text, EffectFile& out, FxError& error);

}  // namespace fx
