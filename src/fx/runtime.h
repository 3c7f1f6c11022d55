// The effect runtime: a context, effects compiled from effect files into GLSL programs,
// techniques and passes in file order, parameters by name with deferred sending, managed
// sampler textures, and pass render states that are set and reset around a draw.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gl/gl.h"
#include "fx/effect_file.h"
#include "fx/glsl_program.h"

namespace fx {

struct CompiledEffect;

// Created once its shading language is known to compile; effects are made in it and must all be
// destroyed before it.
struct Context {
    Dialect dialect = Dialect::Glsl120;  // what the effects' programs are written in
    GLint textureUnits = 0;  // fragment texture image units
    int liveEffects = 0;
};

struct Parameter {
    std::string name;
    ParamType type = ParamType::Float;
    float value[16] = {};
    GLuint texture = 0;           // samplers: the texture bound when a pass is set
    std::uint32_t version = 1;    // grows with every change of value
    std::vector<SamplerState> samplerStates;
};

struct Pass {
    struct Uniform {
        int param;
        GLint location;
        std::uint32_t seen;  // the parameter version this program holds
    };
    struct Sampler {
        int param;
        GLenum unit;  // GL_TEXTURE0 + n
        GLenum target;
    };

    CompiledEffect* effect = nullptr;
    std::string name;
    GLuint program = 0;
    std::vector<Uniform> uniforms;
    std::vector<Sampler> samplers;
    std::vector<RenderState> states;
    std::vector<RenderState> saved;  // what `states` replaced, while the pass is set
    bool isSet = false;
};

struct Technique {
    std::string name;
    std::vector<Pass*> passes;  // owned by the effect
};

struct CompiledEffect {
    Context* context = nullptr;
    std::string fileName;
    std::vector<Parameter> params;               // file order
    std::vector<int> paramSlots;                 // hash table of params index + 1, 0 when free
    std::vector<std::unique_ptr<Technique>> techniques;  // file order
    std::vector<std::unique_ptr<Pass>> passes;
};

// Null when the driver cannot compile the dialect (or there is no way to fetch its entry points).
// Needs a current GL context with the program's extension entry points loaded.
Context* createContext(Dialect dialect = kBuildDialect);
void destroyContext(Context* context);

// Compiles an effect. On any failure (unreadable file, syntax, unknown state, compile or link
// error) logs one "error: effect 'file' line N: ..." line through "DemoController" and returns null.
CompiledEffect* createEffectFromFile(Context* context, const std::string& path);
CompiledEffect* createEffect(Context* context, const std::string& text, const std::string& fileName);
void destroyEffect(CompiledEffect* effect);

// -1 when the effect declares no parameter of that name. No allocation.
int findParameter(const CompiledEffect* effect, std::string_view name);
// Stores the value for the next setPassState; ignored when index is -1 or count doesn't match
// the parameter's type (1, 2, 3, 4 or 16 floats, matrices column-major).
void setParameter(CompiledEffect* effect, int index, const float* values, int count);
// Records the texture of a sampler parameter and applies the sampler's states to that texture
// object. Ignored for -1 and for value parameters.
void setTextureParameter(CompiledEffect* effect, int index, GLuint texture);

// Makes the pass's program current, sends the parameters it hasn't seen yet, binds each sampler's
// texture to its own unit and applies the render states. False (and nothing done) for null.
bool setPassState(Pass* pass);
// Restores what setPassState changed: render states, texture bindings (unit 0 left active) and
// no current program.
void resetPassState(Pass* pass);

}  // namespace fx
