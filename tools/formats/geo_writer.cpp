#include "formats/geo_writer.h"

#include <cstdio>
#include <cstring>

namespace {

void putInt(std::string& out, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    const char bytes[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                           static_cast<char>((v >> 16) & 0xff), static_cast<char>((v >> 24) & 0xff)};
    out.append(bytes, 4);
}

void putFloat(std::string& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putInt(out, static_cast<int32_t>(bits));
}

void putString(std::string& out, const std::string& text) {
    putInt(out, static_cast<int32_t>(text.size()));
    out += text;
}

}  // namespace

std::string encodeGeo(const std::vector<GeoMesh>& meshes) {
    std::string out;
    putInt(out, static_cast<int32_t>(meshes.size()));
    for (const GeoMesh& mesh : meshes) {
        putInt(out, mesh.nodeId);
        putString(out, mesh.name);
        putInt(out, static_cast<int32_t>(mesh.parts.size()));
        for (const GeoPart& part : mesh.parts) {
            putString(out, part.materialName);
            putInt(out, static_cast<int32_t>(part.vertices.size()));
            out.reserve(out.size() + part.vertices.size() * 44);
            for (const GeoVertex& v : part.vertices) {
                for (float f : v.position) putFloat(out, f);
                for (float f : v.normal) putFloat(out, f);
                for (float f : v.aux) putFloat(out, f);
                for (float f : v.uv) putFloat(out, f);
            }
        }
    }
    return out;
}

bool writeGeo(const std::string& path, const std::vector<GeoMesh>& meshes) {
    const std::string bytes = encodeGeo(meshes);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
