// Writes ".geo" model files, the format ModelLoader reads; used by the content generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GeoVertex {
    float position[3];
    float normal[3];
    float aux[3];
    float uv[2];
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
