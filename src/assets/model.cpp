#include "assets/model.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "base/binary.h"
#include "gl/gl.h"
#include "assets/content.h"

MeshPart::~MeshPart() {
    if (buffer != 0 && glDeleteBuffersARB) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glDeleteBuffersARB(1, &buffer);
    }
}

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
    if (part.vertices.empty()) {
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

// Null when the part record does not fit in what is left of the file.
MeshPart* readPart(ByteReader& in) {
    std::string materialName;
    int32_t vertexCount = 0;
    if (!in.readString(materialName) || !in.readCount(vertexCount, kFileVertexSize)) return nullptr;
    const unsigned char* data = in.take(static_cast<size_t>(vertexCount) * kFileVertexSize);
    if (!data) return nullptr;

    auto* part = new MeshPart;
    part->materialName = std::move(materialName);
    part->vertexCount = vertexCount;
    // One pass from the file bytes into the 60-byte vertices, gathering the bounds on the way.
    part->vertices.reserve(static_cast<size_t>(vertexCount));
    float lowest[3] = {0.0f, 0.0f, 0.0f}, highest[3] = {0.0f, 0.0f, 0.0f};
    if (vertexCount > 0)
        for (int k = 0; k < 3; ++k) lowest[k] = highest[k] = floatAt(data + 4 * k);
    MemoryVertex v;
    v.position[3] = v.normal[3] = v.aux[3] = v.uv[2] = 1.0f;
    for (int32_t i = 0; i < vertexCount; ++i) {
        const unsigned char* src = data + static_cast<size_t>(i) * kFileVertexSize;
        for (int k = 0; k < 3; ++k) {
            v.position[k] = floatAt(src + 4 * k);
            v.normal[k] = floatAt(src + 12 + 4 * k);
            v.aux[k] = floatAt(src + 24 + 4 * k);
            lowest[k] = std::min(lowest[k], v.position[k]);
            highest[k] = std::max(highest[k], v.position[k]);
        }
        v.uv[0] = floatAt(src + 36);
        v.uv[1] = floatAt(src + 40);
        part->vertices.push_back(v);
    }
    setBounds(*part, lowest, highest);
    return part;
}

// The part's vertex buffer: GL, so on the thread of the context.
void uploadPart(MeshPart* part) {
    glGenBuffersARB(1, &part->buffer);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, part->buffer);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(part->vertices.size() * sizeof(MemoryVertex)),
                    part->vertices.data(), GL_STATIC_DRAW_ARB);
    // Pointers are set at draw time; leaving arrays enabled here would leak into other draws.
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

Mesh* readMesh(ByteReader& in) {
    auto* mesh = new Mesh;
    int32_t partCount = 0;
    if (!in.readInt32(mesh->id) || !in.readString(mesh->name) || !in.readInt32(partCount)) {
        delete mesh;
        return nullptr;
    }
    for (int32_t i = 0; i < partCount; ++i) {
        MeshPart* part = readPart(in);
        if (!part) {
            delete mesh;
            return nullptr;
        }
        part->mesh = mesh;
        mesh->parts.push_back(part);
    }
    return mesh;
}

}  // namespace

bool readModel(const unsigned char* bytes, size_t size, ParsedModel& out) {
    out = ParsedModel();
    ByteReader in(bytes, size);
    int32_t meshCount = 0;
    if (!in.readInt32(meshCount)) return false;
    out.model = std::make_unique<Model>();
    for (int32_t i = 0; i < meshCount; ++i) {
        Mesh* mesh = readMesh(in);
        if (!mesh) {
            out.model.reset();
            return false;
        }
        out.model->meshes.push_back(mesh);
        ++out.meshesRead;
    }
    return true;
}

bool readModelFile(const std::string& path, ParsedModel& out) {
    out = ParsedModel();
    std::vector<unsigned char> bytes;
    return readWholeFile(path, bytes) && readModel(bytes.data(), bytes.size(), out);
}

Model* ModelLoader::finish(ParsedModel& parsed) {
    // One step per mesh read, as if each were read here: a broken file steps for the meshes
    // before the break.
    Model* model = parsed.model.release();
    for (int i = 0; i < parsed.meshesRead; ++i) {
        if (model)
            for (MeshPart* part : model->meshes[static_cast<size_t>(i)]->parts) {
                uploadPart(part);
                // Everything draws from the buffer; the next part read reuses this memory.
                std::vector<MemoryVertex>().swap(part->vertices);
            }
        if (observers_)
            for (IContentObserver* observer : *observers_) observer->onLoadStep();
    }
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
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, part->buffer);
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
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, part->buffer);
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
