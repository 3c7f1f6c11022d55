#include "fx/runtime.h"

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "base/binary.h"
#include "base/log.h"
#include "gl/gl.h"
#include "fx/glsl_program.h"
#include "platform/platform.h"

namespace fx {

namespace {

const char* const kProbeVertex =
    "#version 120\nvarying vec2 uv;\nvoid main() { uv = gl_MultiTexCoord1.xy; gl_Position = ftransform(); }\n";
const char* const kProbeFragment =
    "#version 120\nvarying vec2 uv;\nuniform sampler2DShadow s;\n"
    "void main() { gl_FragColor = vec4(uv, shadow2D(s, vec3(uv, 0.5)).r, 1.0); }\n";
const char* const kProbeVertexEs =
    "#version 300 es\nlayout(location = 0) in vec4 p;\nout vec2 uv;\n"
    "void main() { uv = p.xy; gl_Position = p; }\n";
const char* const kProbeFragmentEs =
    "#version 300 es\nprecision highp float;\nprecision highp sampler2DShadow;\nin vec2 uv;\n"
    "uniform sampler2DShadow s;\nout vec4 colour;\n"
    "void main() { colour = vec4(uv, texture(s, vec3(uv, 0.5)), 1.0); }\n";

void logError(const std::string& fileName, int line, const std::string& message) {
    std::string text = "effect '" + fileName + "'";
    if (line > 0) text += " line " + std::to_string(line);
    ::logError(text + ": " + message);
}

std::uint32_t hashName(std::string_view name) {
    std::uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

void buildParamTable(CompiledEffect& effect) {
    size_t capacity = 8;
    while (capacity < effect.params.size() * 2) capacity *= 2;
    effect.paramSlots.assign(capacity, 0);
    for (size_t i = 0; i < effect.params.size(); ++i) {
        size_t slot = hashName(effect.params[i].name) & (capacity - 1);
        while (effect.paramSlots[slot]) slot = (slot + 1) & (capacity - 1);
        effect.paramSlots[slot] = static_cast<int>(i) + 1;
    }
}

// The texture target of a sampler parameter: GLSL ES has no 1-D textures, there a 1-D texture is
// a 2-D one of height one.
GLenum targetOf(const Context& context, ParamType type) {
    const GLenum target = textureTarget(type);
    return context.dialect == Dialect::Essl300 && target == GL_TEXTURE_1D ? GL_TEXTURE_2D : target;
}

// A sampler state as this dialect's GL takes it: ES has no depth texture mode (its comparison
// lookup gives the one value that the effect's shadow2D spreads over the vector) and no GL_CLAMP
// (the effect files' samplers do not use a border, so clamping to the edge draws the same).
bool adapted(const Context& context, SamplerState& s) {
    if (context.dialect != Dialect::Essl300) return true;
    if (s.pname == GL_DEPTH_TEXTURE_MODE) return false;
    if ((s.pname == GL_TEXTURE_WRAP_S || s.pname == GL_TEXTURE_WRAP_T) && s.value == GL_CLAMP) s.value = GL_CLAMP_TO_EDGE;
    return true;
}

GLenum bindingQuery(GLenum target) { return target == GL_TEXTURE_1D ? GL_TEXTURE_BINDING_1D : GL_TEXTURE_BINDING_2D; }

// The current value of the state a render state assignment changes.
RenderState capture(const RenderState& s) {
    RenderState saved = s;
    GLboolean b[4] = {};
    switch (s.kind) {
    case RenderStateKind::DepthTestEnable: saved.ints[0] = glIsEnabled(GL_DEPTH_TEST); break;
    case RenderStateKind::BlendEnable: saved.ints[0] = glIsEnabled(GL_BLEND); break;
    case RenderStateKind::CullFaceEnable: saved.ints[0] = glIsEnabled(GL_CULL_FACE); break;
    case RenderStateKind::AlphaTestEnable: saved.ints[0] = glIsEnabled(GL_ALPHA_TEST); break;
    case RenderStateKind::PolygonOffsetFillEnable: saved.ints[0] = glIsEnabled(GL_POLYGON_OFFSET_FILL); break;
    case RenderStateKind::DepthMask:
        glGetBooleanv(GL_DEPTH_WRITEMASK, b);
        saved.ints[0] = b[0];
        break;
    case RenderStateKind::DepthFunc: glGetIntegerv(GL_DEPTH_FUNC, saved.ints); break;
    case RenderStateKind::CullFace: glGetIntegerv(GL_CULL_FACE_MODE, saved.ints); break;
    case RenderStateKind::BlendFunc:
        glGetIntegerv(GL_BLEND_SRC, &saved.ints[0]);
        glGetIntegerv(GL_BLEND_DST, &saved.ints[1]);
        break;
    case RenderStateKind::AlphaFunc:
        glGetIntegerv(GL_ALPHA_TEST_FUNC, &saved.ints[0]);
        glGetFloatv(GL_ALPHA_TEST_REF, &saved.floats[1]);
        break;
    case RenderStateKind::PolygonOffset:
        glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &saved.floats[0]);
        glGetFloatv(GL_POLYGON_OFFSET_UNITS, &saved.floats[1]);
        break;
    case RenderStateKind::ColorMask:
        glGetBooleanv(GL_COLOR_WRITEMASK, b);
        for (int i = 0; i < 4; ++i) saved.ints[i] = b[i];
        break;
    }
    return saved;
}

void enable(GLenum cap, GLint on) {
    if (on) glEnable(cap);
    else glDisable(cap);
}

void apply(const RenderState& s) {
    switch (s.kind) {
    case RenderStateKind::DepthTestEnable: enable(GL_DEPTH_TEST, s.ints[0]); break;
    case RenderStateKind::BlendEnable: enable(GL_BLEND, s.ints[0]); break;
    case RenderStateKind::CullFaceEnable: enable(GL_CULL_FACE, s.ints[0]); break;
    case RenderStateKind::AlphaTestEnable: enable(GL_ALPHA_TEST, s.ints[0]); break;
    case RenderStateKind::PolygonOffsetFillEnable: enable(GL_POLYGON_OFFSET_FILL, s.ints[0]); break;
    case RenderStateKind::DepthMask: glDepthMask(s.ints[0] ? GL_TRUE : GL_FALSE); break;
    case RenderStateKind::DepthFunc: glDepthFunc(static_cast<GLenum>(s.ints[0])); break;
    case RenderStateKind::CullFace: glCullFace(static_cast<GLenum>(s.ints[0])); break;
    case RenderStateKind::BlendFunc: glBlendFunc(static_cast<GLenum>(s.ints[0]), static_cast<GLenum>(s.ints[1])); break;
    case RenderStateKind::AlphaFunc: glAlphaFunc(static_cast<GLenum>(s.ints[0]), s.floats[1]); break;
    case RenderStateKind::PolygonOffset: glPolygonOffset(s.floats[0], s.floats[1]); break;
    case RenderStateKind::ColorMask:
        glColorMask(s.ints[0] ? GL_TRUE : GL_FALSE, s.ints[1] ? GL_TRUE : GL_FALSE, s.ints[2] ? GL_TRUE : GL_FALSE,
                    s.ints[3] ? GL_TRUE : GL_FALSE);
        break;
    }
}

void send(const Parameter& p, GLint location) {
    switch (p.type) {
    case ParamType::Float: glUniform1fv(location, 1, p.value); break;
    case ParamType::Float2: glUniform2fv(location, 1, p.value); break;
    case ParamType::Float3: glUniform3fv(location, 1, p.value); break;
    case ParamType::Float4: glUniform4fv(location, 1, p.value); break;
    case ParamType::Float4x4: glUniformMatrix4fv(location, 1, GL_FALSE, p.value); break;
    default: break;
    }
}

// Shaders compiled for one effect, shared by the passes that use the same entry function.
struct ShaderCache {
    std::map<std::string, GLuint> vertex, fragment;
    ~ShaderCache() {
        for (auto& s : vertex) glDeleteShader(s.second);
        for (auto& s : fragment) glDeleteShader(s.second);
    }
};

GLuint shaderFor(const EffectFile& file, Dialect dialect, ShaderCache& cache, Stage stage, const std::string& entry, int line,
                 const std::string& where, FxError& error) {
    auto& map = stage == Stage::Vertex ? cache.vertex : cache.fragment;
    auto it = map.find(entry);
    if (it != map.end()) return it->second;
    const char* kind = stage == Stage::Vertex ? "vertex program '" : "fragment program '";
    GlslSource source;
    std::string problem;
    if (!makeStageSource(file, stage, entry, source, problem, dialect)) {
        error = {line, kind + entry + "' of " + where + ": " + problem};
        return 0;
    }
    GLuint shader = compileShader(stage, source, error);
    if (!shader) {
        if (error.line == 0) error.line = line;
        error.message = kind + entry + "' of " + where + " doesn't compile: " + error.message;
        return 0;
    }
    map[entry] = shader;
    return shader;
}

bool buildPass(CompiledEffect& effect, const EffectFile& file, const TechniqueDecl& t, const PassDecl& decl, ShaderCache& cache,
               Pass& pass, FxError& error) {
    std::string where = "pass '" + decl.name + "' of technique '" + t.name + "'";
    GLuint vs = shaderFor(file, effect.context->dialect, cache, Stage::Vertex, decl.vertexProgram, decl.vertexLine, where, error);
    if (!vs) return false;
    GLuint fs = shaderFor(file, effect.context->dialect, cache, Stage::Fragment, decl.fragmentProgram, decl.fragmentLine, where, error);
    if (!fs) return false;
    std::string linkError;
    pass.program = linkProgram(vs, fs, linkError);
    if (!pass.program) {
        error = {decl.line, where + " doesn't link: " + linkError};
        return false;
    }
    pass.effect = &effect;
    pass.name = decl.name;
    pass.states = decl.states;
    pass.saved = decl.states;
    GLint unit = 0;
    glUseProgram(pass.program);
    for (size_t i = 0; i < effect.params.size(); ++i) {
        const Parameter& p = effect.params[i];
        GLint location = glGetUniformLocation(pass.program, p.name.c_str());
        if (location < 0) continue;  // not used by this pass's programs
        if (!isSampler(p.type)) {
            pass.uniforms.push_back({static_cast<int>(i), location, 0});
            continue;
        }
        if (unit >= effect.context->textureUnits) {
            glUseProgram(0);
            glDeleteProgram(pass.program);  // linked, but no pass will own it
            pass.program = 0;
            error = {decl.line, where + " uses more samplers than the " + std::to_string(effect.context->textureUnits) +
                                    " texture units the driver has"};
            return false;
        }
        glUniform1i(location, unit);
        pass.samplers.push_back({static_cast<int>(i), static_cast<GLenum>(GL_TEXTURE0 + unit), targetOf(*effect.context, p.type)});
        ++unit;
    }
    glUseProgram(0);
    return true;
}

}  // namespace

Context* createContext(Dialect dialect) {
    if (!loadGlslEntryPoints() || !glActiveTextureARB) return nullptr;
    const GLubyte* version = glGetString(GL_SHADING_LANGUAGE_VERSION);
    if (!version) return nullptr;
    GlslSource vs, fs;
    vs.text = dialect == Dialect::Essl300 ? kProbeVertexEs : kProbeVertex;
    fs.text = dialect == Dialect::Essl300 ? kProbeFragmentEs : kProbeFragment;
    FxError error;
    GLuint v = compileShader(Stage::Vertex, vs, error);
    GLuint f = v ? compileShader(Stage::Fragment, fs, error) : 0;
    std::string linkError;
    GLuint program = f ? linkProgram(v, f, linkError) : 0;
    if (v) glDeleteShader(v);
    if (f) glDeleteShader(f);
    if (!program) return nullptr;
    glDeleteProgram(program);
    auto* context = new Context;
    context->dialect = dialect;
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &context->textureUnits);
    return context;
}

void destroyContext(Context* context) {
    if (!context) return;
    if (context->liveEffects > 0)
        ::logError("the effect context is destroyed while " + std::to_string(context->liveEffects) +
                   " effects still live (release the content first)");
    delete context;
}

CompiledEffect* createEffectFromFile(Context* context, const std::string& path) {
    std::string text;
    if (!readWholeFile(path, text)) {
        logError(path, 0, "can't be read (is it in the data directory's effects folder?)");
        return nullptr;
    }
    return createEffect(context, text, path);
}

CompiledEffect* createEffect(Context* context, const std::string& text, const std::string& fileName) {
    if (!context) {
        logError(fileName, 0, "there is no effect context");
        return nullptr;
    }
    EffectFile file;
    FxError error;
    if (!parseEffectFile(text, file, error)) {
        logError(fileName, error.line, error.message);
        return nullptr;
    }
    auto effect = std::make_unique<CompiledEffect>();
    effect->context = context;
    effect->fileName = fileName;
    for (const ParamDecl& decl : file.params) {
        Parameter p;
        p.name = decl.name;
        p.type = decl.type;
        std::memcpy(p.value, decl.value, sizeof p.value);
        for (SamplerState state : decl.samplerStates)
            if (adapted(*context, state)) p.samplerStates.push_back(state);
        effect->params.push_back(std::move(p));
    }
    buildParamTable(*effect);
    ShaderCache cache;
    for (const TechniqueDecl& t : file.techniques) {
        auto technique = std::make_unique<Technique>();
        technique->name = t.name;
        for (const PassDecl& decl : t.passes) {
            auto pass = std::make_unique<Pass>();
            if (!buildPass(*effect, file, t, decl, cache, *pass, error)) {
                logError(fileName, error.line, error.message);
                for (auto& built : effect->passes) glDeleteProgram(built->program);
                return nullptr;
            }
            technique->passes.push_back(pass.get());
            effect->passes.push_back(std::move(pass));
        }
        effect->techniques.push_back(std::move(technique));
    }
    ++context->liveEffects;
    return effect.release();
}

void destroyEffect(CompiledEffect* effect) {
    if (!effect) return;
    for (auto& pass : effect->passes) glDeleteProgram(pass->program);
    --effect->context->liveEffects;
    delete effect;
}

int findParameter(const CompiledEffect* effect, std::string_view name) {
    if (!effect) return -1;
    const size_t mask = effect->paramSlots.size() - 1;
    for (size_t slot = hashName(name) & mask;; slot = (slot + 1) & mask) {
        int entry = effect->paramSlots[slot];
        if (!entry) return -1;
        if (effect->params[entry - 1].name == name) return entry - 1;
    }
}

void setParameter(CompiledEffect* effect, int index, const float* values, int count) {
    if (!effect || index < 0 || index >= static_cast<int>(effect->params.size())) return;
    Parameter& p = effect->params[index];
    if (count != floatCount(p.type)) return;
    size_t bytes = sizeof(float) * static_cast<size_t>(count);
    if (std::memcmp(p.value, values, bytes) == 0) return;
    std::memcpy(p.value, values, bytes);
    ++p.version;
}

void setTextureParameter(CompiledEffect* effect, int index, GLuint texture) {
    if (!effect || index < 0 || index >= static_cast<int>(effect->params.size())) return;
    Parameter& p = effect->params[index];
    if (!isSampler(p.type)) return;
    p.texture = texture;
    if (!texture || p.samplerStates.empty()) return;
    GLenum target = targetOf(*effect->context, p.type);
    GLint previous = 0;
    glGetIntegerv(bindingQuery(target), &previous);
    glBindTexture(target, texture);
    for (const SamplerState& s : p.samplerStates) glTexParameteri(target, s.pname, s.value);
    glBindTexture(target, static_cast<GLuint>(previous));
}

bool setPassState(Pass* pass) {
    if (!pass) return false;
    CompiledEffect& effect = *pass->effect;
    glUseProgram(pass->program);
    for (Pass::Uniform& u : pass->uniforms) {
        const Parameter& p = effect.params[u.param];
        if (u.seen == p.version) continue;
        send(p, u.location);
        u.seen = p.version;
    }
    for (const Pass::Sampler& s : pass->samplers) {
        glActiveTextureARB(s.unit);
        glBindTexture(s.target, effect.params[s.param].texture);
    }
    if (!pass->samplers.empty()) glActiveTextureARB(GL_TEXTURE0);
    // Set twice without a reset: keep what the first set saved, not the pass's own values.
    for (size_t i = 0; i < pass->states.size(); ++i) {
        if (!pass->isSet) pass->saved[i] = capture(pass->states[i]);
        apply(pass->states[i]);
    }
    pass->isSet = true;
    return true;
}

void resetPassState(Pass* pass) {
    if (!pass || !pass->isSet) return;
    for (size_t i = pass->states.size(); i-- > 0;) apply(pass->saved[i]);
    for (const Pass::Sampler& s : pass->samplers) {
        glActiveTextureARB(s.unit);
        glBindTexture(s.target, 0);
    }
    glActiveTextureARB(GL_TEXTURE0);
    glUseProgram(0);
    pass->isSet = false;
}

}  // namespace fx
