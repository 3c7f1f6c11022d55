#include "formats/geo_writer.h"

#include "base/binary.h"

namespace {

void putString(ByteWriter& out, const std::string& text) {
    out.int32(static_cast<int32_t>(text.size()));
    for (char c : text) out.byte(static_cast<uint8_t>(c));
}

void putVector(ByteWriter& out, const sm::Vec3& v) {
    out.float32(v.x);
    out.float32(v.y);
    out.float32(v.z);
}

std::vector<unsigned char> encode(const std::vector<GeoMesh>& meshes) {
    ByteWriter out;
    out.int32(static_cast<int32_t>(meshes.size()));
    for (const GeoMesh& mesh : meshes) {
        out.int32(mesh.nodeId);
        putString(out, mesh.name);
        out.int32(static_cast<int32_t>(mesh.parts.size()));
        for (const GeoPart& part : mesh.parts) {
            putString(out, part.materialName);
            out.int32(static_cast<int32_t>(part.vertices.size()));
            for (const GeoVertex& v : part.vertices) {
                putVector(out, v.position);
                putVector(out, v.normal);
                putVector(out, v.aux);
                out.float32(v.uv[0]);
                out.float32(v.uv[1]);
            }
        }
    }
    return out.bytes();
}

}  // namespace

std::string encodeGeo(const std::vector<GeoMesh>& meshes) {
    const std::vector<unsigned char> bytes = encode(meshes);
    return std::string(bytes.begin(), bytes.end());
}

bool writeGeo(const std::string& path, const std::vector<GeoMesh>& meshes) {
    return writeWholeFile(path, encode(meshes));
}
