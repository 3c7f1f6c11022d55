#include "assets/model.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "base/binary.h"
#include "gl/gl.h"
#include "assets/content.h"

Mesh::Mesh() { sm::identity(matrix); }

Mesh::~Mesh() {
    for (MeshPart* part : parts) delete part;
}

Model::~Model() {
    for (Mesh* mesh : meshes) delete mesh;
}

namespace {

constexpr size_t kFileVertexSize = 44;

// Box and sphere from the extremes of the part's positions; an empty part gets an empty box.
void setBounds(MeshPart& part, const float* lowest, const float* highest) {
    Box& box = part.box;
    if (part.vertexCount == 0) {
        box = Box();
    } else {
        box.minX = lowest[0];
        box.minY = lowest[1];
        box.minZ = lowest[2];
        box.maxX = highest[0];
        box.maxY = highest[1];
        box.maxZ = highest[2];
        box.centreX = (box.minX + box.maxX) / 2.0f;
        box.centreY = (box.minY + box.maxY) / 2.0f;
        box.centreZ = (box.minZ + box.maxZ) / 2.0f;
        box.one = 1.0f;
    }
    Sphere& sphere = part.sphere;
    sphere.centreX = box.centreX;
    sphere.centreY = box.centreY;
    sphere.centreZ = box.centreZ;
    const float dx = box.centreX - box.minX, dy = box.centreY - box.maxY, dz = box.centreZ - box.minZ;
    sphere.radius = std::sqrt(dx * dx + dy * dy + dz * dz);
    sphere.one = 1.0f;
}

void setVertexPointers() {
    glVertexPointer(4, GL_FLOAT, sizeof(MemoryVertex), reinterpret_cast<const void*>(offsetof(MemoryVertex, position)));
    glNormalPointer(GL_FLOAT, sizeof(MemoryVertex), reinterpret_cast<const void*>(offsetof(MemoryVertex, normal)));
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glTexCoordPointer(4, GL_FLOAT, sizeof(MemoryVertex), reinterpret_cast<const void*>(offsetof(MemoryVertex, aux)));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glTexCoordPointer(3, GL_FLOAT, sizeof(MemoryVertex), reinterpret_cast<const void*>(offsetof(MemoryVertex, uv)));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

// Null when the part record does not fit in what is left of the file; `data` receives where its
// vertex records start.
MeshPart* readPart(ByteReader& in, const unsigned char*& data) {
    std::string materialName;
    int32_t vertexCount = 0;
    if (!in.readString(materialName) || !in.readCount(vertexCount, kFileVertexSize)) return nullptr;
    data = in.take(static_cast<size_t>(vertexCount) * kFileVertexSize);
    if (!data) return nullptr;
    auto* part = new MeshPart;
    part->materialName = std::move(materialName);
    part->vertexCount = vertexCount;
    return part;
}

// The part's vertex buffer from its `vertexCount` 44-byte file records at `data`, with its
// bounds: GL, so on the thread of the context. The records become 60-byte vertices a block at
// a time, a block small enough to stay in the cache on its way to the driver.
void uploadPart(MeshPart* part, const unsigned char* data) {
    constexpr size_t kBlock = 1024;
    const size_t count = static_cast<size_t>(part->vertexCount);
    part->buffer = makeGlName<GlKind::Buffer>();
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, part->buffer.get());
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(count * sizeof(MemoryVertex)), nullptr,
                    GL_STATIC_DRAW_ARB);
    float lowest[3] = {0.0f, 0.0f, 0.0f}, highest[3] = {0.0f, 0.0f, 0.0f};
    if (count > 0)
        for (int k = 0; k < 3; ++k) lowest[k] = highest[k] = floatAt(data + 4 * k);
    MemoryVertex block[kBlock];
    for (size_t first = 0; first < count; first += kBlock) {
        const size_t n = std::min(kBlock, count - first);
        for (size_t i = 0; i < n; ++i) {
            const unsigned char* src = data + (first + i) * kFileVertexSize;
            MemoryVertex& v = block[i];
            for (int k = 0; k < 3; ++k) {
                v.position[k] = floatAt(src + 4 * k);
                v.normal[k] = floatAt(src + 12 + 4 * k);
                v.aux[k] = floatAt(src + 24 + 4 * k);
                lowest[k] = std::min(lowest[k], v.position[k]);
                highest[k] = std::max(highest[k], v.position[k]);
            }
            v.position[3] = v.normal[3] = v.aux[3] = v.uv[2] = 1.0f;
            v.uv[0] = floatAt(src + 36);
            v.uv[1] = floatAt(src + 40);
        }
        glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLintptrARB>(first * sizeof(MemoryVertex)),
                           static_cast<GLsizeiptrARB>(n * sizeof(MemoryVertex)), block);
    }
    // Pointers are set at draw time; leaving arrays enabled here would leak into other draws.
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    setBounds(*part, lowest, highest);
}

// Appends where each part's vertex records start to `partData`.
Mesh* readMesh(ByteReader& in, std::vector<const unsigned char*>& partData) {
    auto* mesh = new Mesh;
    int32_t partCount = 0;
    if (!in.readInt32(mesh->id) || !in.readString(mesh->name) || !in.readInt32(partCount)) {
        delete mesh;
        return nullptr;
    }
    for (int32_t i = 0; i < partCount; ++i) {
        const unsigned char* data = nullptr;
        MeshPart* part = readPart(in, data);
        if (!part) {
            delete mesh;
            return nullptr;
        }
        part->mesh = mesh;
        mesh->parts.push_back(part);
        partData.push_back(data);
    }
    return mesh;
}

}  // namespace

bool readModel(const unsigned char* bytes, size_t size, ParsedModel& out) {
    out.model.reset();
    out.meshesRead = 0;
    out.partData.clear();
    ByteReader in(bytes, size);
    int32_t meshCount = 0;
    if (!in.readInt32(meshCount)) return false;
    out.model = std::make_unique<Model>();
    for (int32_t i = 0; i < meshCount; ++i) {
        Mesh* mesh = readMesh(in, out.partData);
        if (!mesh) {
            out.model.reset();
            out.partData.clear();
            return false;
        }
        out.model->meshes.push_back(mesh);
        ++out.meshesRead;
    }
    return true;
}

bool readModelFile(const std::string& path, ParsedModel& out) {
    out = ParsedModel();
    return readWholeFile(path, out.bytes) && readModel(out.bytes.data(), out.bytes.size(), out);
}

Model* ModelLoader::finish(ParsedModel& parsed) {
    // One step per mesh read, as if each were read here: a broken file steps for the meshes
    // before the break.
    Model* model = parsed.model.release();
    size_t next = 0;  // into partData, which lists every part in order
    for (int i = 0; i < parsed.meshesRead; ++i) {
        if (model)
            for (MeshPart* part : model->meshes[static_cast<size_t>(i)]->parts) uploadPart(part, parsed.partData[next++]);
        if (observers_)
            for (IContentObserver* observer : *observers_) observer->onLoadStep();
    }
    parsed = ParsedModel();
    return model;
}

Model* ModelLoader::parse(const unsigned char* bytes, size_t size) {
    ParsedModel parsed;
    readModel(bytes, size, parsed);
    return finish(parsed);
}

IDisposable* ModelLoader::load(const char* path, sm::IServiceProvider*) {
    if (!path) return nullptr;
    ParsedModel parsed;
    bool read = false;
    if (!prefetch_ || !prefetch_->take(path, read, parsed)) readModelFile(path, parsed);
    return finish(parsed);
}

void collectParts(std::vector<MeshPart*>& out, const std::vector<Mesh*>& meshes) {
    for (const Mesh* mesh : meshes) out.insert(out.end(), mesh->parts.begin(), mesh->parts.end());
}

void drawPart(const MeshPart* part) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, part->buffer.get());
    setVertexPointers();
    glDrawArrays(GL_TRIANGLES, 0, part->vertexCount);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void drawPartSurface(const MeshPart* part) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, part->buffer.get());
    glVertexPointer(3, GL_FLOAT, sizeof(MemoryVertex), reinterpret_cast<const void*>(offsetof(MemoryVertex, position)));
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glTexCoordPointer(2, GL_FLOAT, sizeof(MemoryVertex), reinterpret_cast<const void*>(offsetof(MemoryVertex, uv)));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glDrawArrays(GL_TRIANGLES, 0, part->vertexCount);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

sm::Vec3 boxCorner(const Box& b, int corner) {
    switch (corner & 7) {
        case 0: return {b.minX, b.maxY, b.minZ};
        case 1: return {b.maxX, b.maxY, b.minZ};
        case 2: return {b.maxX, b.maxY, b.maxZ};
        case 3: return {b.minX, b.maxY, b.maxZ};
        case 4: return {b.minX, b.minY, b.minZ};
        case 5: return {b.maxX, b.minY, b.minZ};
        case 6: return {b.maxX, b.minY, b.maxZ};
        default: return {b.minX, b.minY, b.maxZ};
    }
}
