// Writes ".geo" model files, the format ModelLoader reads. The content generator builds its
// models in these records (content/geometry/kit.h) and writes them as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "anim/math.h"

struct GeoVertex {
    sm::Vec3 position, normal, aux;  // aux: the tangent, unit length, along +u (w is not written)
    float uv[2] = {0.0f, 0.0f};
};

struct GeoPart {
    std::string materialName;
    std::vector<GeoVertex> vertices;  // every three form one triangle
};

struct GeoMesh {
    int32_t nodeId = 0;
    std::string name;
    std::vector<GeoPart> parts;
};

// The file's bytes: mesh count, then each mesh's node id, name and parts, little-endian.
std::string encodeGeo(const std::vector<GeoMesh>& meshes);
// False when the file cannot be written whole.
bool writeGeo(const std::string& path, const std::vector<GeoMesh>& meshes);
