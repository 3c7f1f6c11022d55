// Models: named meshes of material parts, each part one static vertex buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "anim/math.h"
#include "assets/asset.h"
#include "assets/prefetch.h"
#include "anim/transformable.h"
#include "gl/gl_name.h"

class IContentObserver;
class Material;
class Mesh;

// Axis-aligned bounds: minX, maxX, minY, maxY, minZ, maxZ, centre, then 1.0.
struct Box {
    float minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
    float centreX = 0, centreY = 0, centreZ = 0, one = 1.0f;
};

struct Sphere {
    float radius = 0, centreX = 0, centreY = 0, centreZ = 0, one = 1.0f;
};

// The 60-byte vertex of the vertex buffers: position, normal and auxiliary vector with a
// trailing 1.0 each, then u, v, 1.0.
struct MemoryVertex {
    float position[4];
    float normal[4];
    float aux[4];
    float uv[3];
};
static_assert(sizeof(MemoryVertex) == 60, "the vertex buffers use a 60-byte stride");

class MeshPart {
public:
    MeshPart() = default;
    MeshPart(const MeshPart&) = delete;
    MeshPart& operator=(const MeshPart&) = delete;

    GlBuffer buffer;  // the vertex buffer object
    Material* material = nullptr;
    int32_t vertexCount = 0;  // the vertices are in `buffer` only
    Mesh* mesh = nullptr;
    Box box;
    Sphere sphere;
    bool visible = true;
    bool noCull = false;
    std::string materialName;
};

class Mesh : public ITransformable {
public:
    Mesh();
    ~Mesh() override;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    bool isCamera() const override { return false; }
    int32_t nodeId() const override { return id; }
    float* transform() override { return matrix; }

    std::vector<MeshPart*> parts;  // owned, file order
    float matrix[16];              // world matrix, written by the node animation
    int32_t id = 0;
    std::string name;
    float colorMask[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

class Model : public IDisposable {
public:
    ~Model() override;
    std::vector<Mesh*> meshes;  // owned, file order
};

// Reads ".geo" files. Every read is bounded by the file: a record that does not fit, or a
// negative vertex count, fails the load with null. One onLoadStep per mesh read.
// A model read from its bytes with no GL call yet (any thread): the meshes that were read whole
// are counted even when the file breaks later (the model is then null). The vertices stay file
// records until the upload turns them into buffers.
struct ParsedModel {
    std::unique_ptr<Model> model;
    int meshesRead = 0;
    std::vector<unsigned char> bytes;            // the file, when readModelFile read it
    std::vector<const unsigned char*> partData;  // each part's vertex records, in part order
};
// `partData` points into `bytes`, which must outlive the upload.
bool readModel(const unsigned char* bytes, size_t size, ParsedModel& out);
bool readModelFile(const std::string& path, ParsedModel& out);

// The load pass's models, read ahead on worker threads (see prefetch.h).
class ModelPrefetch : public Prefetch<ParsedModel> {
public:
    ModelPrefetch(std::vector<std::string> paths, int workers, int ahead = 2)
        : Prefetch(std::move(paths), readModelFile, nullptr, "model", workers, ahead) {}
};

class ModelLoader : public IAssetLoader {
public:
    // `prefetch` (borrowed, may be null) holds models read ahead on other threads.
    explicit ModelLoader(const std::vector<IContentObserver*>* observers = nullptr, ModelPrefetch* prefetch = nullptr)
        : observers_(observers), prefetch_(prefetch) {}
    IDisposable* load(const char* path, sm::IServiceProvider* services) override;
    // The same parse over bytes already in memory.
    Model* parse(const unsigned char* bytes, size_t size);
    void setPrefetch(ModelPrefetch* prefetch) { prefetch_ = prefetch; }

private:
    // Uploads the vertex buffers and steps the progress once per mesh read; null when the
    // model broke.
    Model* finish(ParsedModel& parsed);

    const std::vector<IContentObserver*>* observers_;  // not owned
    ModelPrefetch* prefetch_;                          // not owned
};

// Appends every part of every mesh, mesh order then part order.
void collectParts(std::vector<MeshPart*>& out, const std::vector<Mesh*>& meshes);
// Draws the part's triangles from its vertex buffer: position, normal, the auxiliary vector as
// texture coordinates of unit 0 and (u, v, 1) as those of unit 1.
void drawPart(const MeshPart* part);
// Draws the part's triangles with their positions and (u, v) as texture coordinates of unit 0
// only, from its vertex buffer.
void drawPartSurface(const MeshPart* part);
// Corner 0..7 of a box as (x, y, z, 1): 0-3 the top face (max y), 4-7 the bottom face.
sm::Vec3 boxCorner(const Box& box, int corner);
