// Materials: colours, scalar factors and up to three texture slots, read from small XML files.
#pragma once

#include <string>

#include "assets/asset.h"

class Texture;

struct TextureSlot {
    std::string file;            // texture asset name, filled by the loader
    Texture* texture = nullptr;  // not owned, filled by the link step
};

class Material : public IDisposable {
public:
    std::string name;
    float ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    float diffuse[4] = {0.6f, 0.6f, 0.6f, 1.0f};
    float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float emissive[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float opacity = 0.0f;
    float glossiness = 0.3f;
    float specularLevel = 1.0f;
    float emissiveAmount = 0.0f;
    TextureSlot diffuseMap;
    TextureSlot opacityMap;
    TextureSlot bumpMap;
};

// Reads a material file: the first node must be the root element with a "Name" attribute;
// its children are property elements ("Type", "Value") and one "Textures" list. The first end
// tag at root level ends the material, so property elements must be empty elements.
class MaterialLoader : public IAssetLoader {
public:
    // Null when the file cannot be read or its first node is not a root with "Name".
    IDisposable* load(const char* path, sm::IServiceProvider* services) override;
};
