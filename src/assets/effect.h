// Effects as assets: `Effect` indexes an effect's techniques by name, keeps the passes of the
// chosen technique, and takes parameter values and textures by name. `EffectLoader` compiles
// ".cfx" files with the effect context that the controller hands to the load pass.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "gl/gl.h"
#include "assets/asset.h"

namespace fx {
struct Context;
struct CompiledEffect;
struct Technique;
struct Pass;
}  // namespace fx

// Reaches the effect context during the content load.
class ICgContextService {
public:
    virtual ~ICgContextService() = default;
    virtual fx::Context* getContext() = 0;
};

class CgContextService : public ICgContextService {
public:
    explicit CgContextService(fx::Context* context) : context_(context) {}
    fx::Context* getContext() override { return context_; }

private:
    fx::Context* context_;
};

// The key the controller registers its ICgContextService under in the load pass's provider.
const std::string& cgContextServiceKey();

class Effect : public IDisposable {
public:
    // Takes ownership of `handle`; a null handle (a file that failed) gives an effect without
    // techniques whose every selection yields no passes and whose setters do nothing.
    explicit Effect(fx::CompiledEffect* handle);
    ~Effect() override;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // Makes the named technique current and refills `passes` with its passes in order; an
    // unknown name is entered with no technique, leaving `passes` empty.
    void selectTechnique(std::string_view name);
    // Gives a sampler parameter its texture and applies the sampler's states to that texture.
    void setTexture(std::string_view parameter, GLuint texture);

    // Parameter values by name, sent when a pass is set. Names the effect doesn't declare, and
    // values of the wrong size, are ignored. Matrices are 16 floats, column-major.
    void setFloat(std::string_view parameter, float x);
    void setFloat2(std::string_view parameter, float x, float y);
    void setFloat3(std::string_view parameter, float x, float y, float z);
    void setFloat4(std::string_view parameter, float x, float y, float z, float w);
    void setMatrix(std::string_view parameter, const float* matrix16);

    // The first pass of the current technique, or null: renderers skip the draw then.
    fx::Pass* firstPass() const { return passes.empty() ? nullptr : passes.front(); }

    fx::CompiledEffect* handle() const { return handle_; }
    // Takes the compiled effect of `fresh` (a reload of the same file) and gives it this one's:
    // whoever holds this Effect draws with the new code from now on, and the current technique
    // is chosen again by name.
    void takeOver(Effect& fresh);
    fx::Technique* currentTechnique() const { return currentTechnique_; }
    const std::map<std::string, fx::Technique*, std::less<>>& techniques() const { return techniques_; }

    // Passes of the current technique, in order; empty at creation.
    std::vector<fx::Pass*> passes;

private:
    fx::CompiledEffect* handle_;
    std::map<std::string, fx::Technique*, std::less<>> techniques_;
    fx::Technique* currentTechnique_ = nullptr;
};

class EffectLoader : public IAssetLoader {
public:
    // Null only without an effect context service; a file that fails still gives an Effect.
    IDisposable* load(const char* path, sm::IServiceProvider* services) override;
};
