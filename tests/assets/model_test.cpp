#include <cmath>
#include <cstring>
#include <memory>

#include "assets/content.h"
#include "formats/geo_writer.h"
#include "assets/model.h"
#include "support/gl_test.h"
#include "support/temp_dir.h"

namespace {

GeoVertex vertex(float x, float y, float z) {
    GeoVertex v = {{x, y, z}, {0, 0, 1}, {0.5f, 0.25f, 0.125f}, {0.75f, 0.5f}};
    return v;
}

std::vector<GeoMesh> sampleMeshes() {
    GeoMesh body{7, "body", {}};
    body.parts.push_back({"steel", {vertex(-1, -2, -3), vertex(4, 5, 6), vertex(0, 1, 0)}});
    body.parts.push_back({"", {}});
    GeoMesh eyes{7, "eyes", {}};
    eyes.parts.push_back({"glass", {vertex(0, 0, 0), vertex(1, 0, 0), vertex(0, 1, 0)}});
    return {body, eyes};
}

class CountingObserver : public IContentObserver {
public:
    void onLoadError(const std::string&) override {}
    void onLoadBegin(int) override {}
    void onLoadStep() override { ++steps; }
    void onLoadEnd() override {}
    int steps = 0;
};

class ModelTest : public GLTest {
protected:
    std::unique_ptr<Model> parse(const std::string& bytes) {
        ModelLoader loader(&observers);
        return std::unique_ptr<Model>(
            loader.parse(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    }
    CountingObserver counter;
    ObserverList observers{&counter};
};

TEST_F(ModelTest, ReadsWhatTheWriterWrites) {
    TempDir dir;
    const std::string path = dir.path() + "m.geo";
    ASSERT_TRUE(writeGeo(path, sampleMeshes()));
    ModelLoader loader(&observers);
    std::unique_ptr<Model> model(static_cast<Model*>(loader.load(path.c_str(), nullptr)));
    ASSERT_TRUE(model);
    EXPECT_EQ(counter.steps, 2);  // one per mesh
    ASSERT_EQ(model->meshes.size(), 2u);
    const Mesh& body = *model->meshes[0];
    EXPECT_EQ(body.nodeId(), 7);
    EXPECT_EQ(body.name, "body");
    EXPECT_EQ(model->meshes[1]->name, "eyes");
    ASSERT_EQ(body.parts.size(), 2u);
    const MeshPart& part = *body.parts[0];
    EXPECT_EQ(part.mesh, &body);
    EXPECT_EQ(part.materialName, "steel");
    EXPECT_EQ(part.vertexCount, 3);
    EXPECT_NE(part.buffer.get(), 0u);
    MemoryVertex v;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.buffer.get());
    glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, sizeof v, sizeof v, &v);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    const float expected[15] = {4, 5, 6, 1, 0, 0, 1, 1, 0.5f, 0.25f, 0.125f, 1, 0.75f, 0.5f, 1};
    EXPECT_EQ(std::memcmp(&v, expected, sizeof expected), 0);
    EXPECT_EQ(part.box.minX, -1);
    EXPECT_EQ(part.box.maxY, 5);
    EXPECT_EQ(part.box.maxZ, 6);
    EXPECT_EQ(part.box.centreX, 1.5f);
    EXPECT_EQ(part.box.one, 1.0f);
    EXPECT_FLOAT_EQ(part.sphere.radius, std::sqrt(2.5f * 2.5f + 3.5f * 3.5f + 4.5f * 4.5f));
    EXPECT_EQ(part.sphere.centreY, 1.5f);

    const MeshPart& empty = *body.parts[1];
    EXPECT_EQ(empty.vertexCount, 0);
    EXPECT_TRUE(empty.materialName.empty());
    EXPECT_EQ(empty.box.maxX, 0.0f);
    EXPECT_EQ(empty.box.one, 1.0f);
    EXPECT_EQ(empty.sphere.radius, 0.0f);
    EXPECT_EQ(empty.sphere.one, 1.0f);

    std::vector<MeshPart*> parts;
    collectParts(parts, model->meshes);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[2], model->meshes[1]->parts[0]);
}

TEST_F(ModelTest, CountsOfNoneAndEmptyFiles) {
    auto none = parse(encodeGeo({}));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->meshes.empty());
    std::string negative = encodeGeo({});
    negative[3] = '\x80';  // meshCount < 0 means none
    ASSERT_TRUE(parse(negative));
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("\x01\x00"));
    ModelLoader loader;
    EXPECT_EQ(loader.load("/nonexistent/m.geo", nullptr), nullptr);
    EXPECT_EQ(counter.steps, 0);
}

TEST_F(ModelTest, EveryTruncationFailsCleanly) {
    const std::string bytes = encodeGeo(sampleMeshes());
    for (size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(parse(bytes.substr(0, length))) << "prefix of " << length << " bytes";
    EXPECT_TRUE(parse(bytes));
}

TEST_F(ModelTest, LyingCountsFailCleanly) {
    const std::string good = encodeGeo(sampleMeshes());
    auto patched = [&](size_t offset, int32_t value) {
        std::string bytes = good;
        std::memcpy(&bytes[offset], &value, 4);
        return bytes;
    };
    // Layout: meshCount(4) nodeId(4) nameLen(4) "body"(4) partCount(4) matLen(4) "steel"(5) vertexCount(4)
    EXPECT_FALSE(parse(patched(0, 1000000)));               // more meshes than the file holds
    EXPECT_FALSE(parse(patched(8, 0x7fffffff)));            // name longer than the file
    EXPECT_FALSE(parse(patched(8, -1)));                    // name length past 2 GiB
    EXPECT_FALSE(parse(patched(16, 0x7fffffff)));           // parts that are not there
    EXPECT_FALSE(parse(patched(29, 0x7fffffff)));           // vertices that are not there
    EXPECT_FALSE(parse(patched(29, -3)));                   // a negative vertex count
    EXPECT_FALSE(parse(patched(29, 0x40000000)));           // count x 44 overflows 32 bits
}

// Models read ahead on a worker thread: every listed file is handed over once, as the main
// thread would read it (a broken one failed, with the meshes before its break counted), and the
// loader uploads what it was handed.
TEST_F(ModelTest, PrefetchHandsOverEveryListedModelOnce) {
    TempDir dir;
    const std::string bytes = encodeGeo(sampleMeshes());
    const std::string good = dir.write("good.geo", bytes), cut = dir.write("cut.geo", bytes.substr(0, bytes.size() - 10));
    const std::string missing = dir.path() + "missing.geo";
    {
        ModelPrefetch prefetch({good, cut, missing}, 1);
        ParsedModel parsed;
        bool ok = false;
        ASSERT_TRUE(prefetch.take(good, ok, parsed));
        EXPECT_TRUE(ok);
        ASSERT_TRUE(parsed.model);
        EXPECT_EQ(parsed.model->meshes.size(), 2u);
        EXPECT_EQ(parsed.meshesRead, 2);
        ASSERT_EQ(parsed.partData.size(), 3u);
        float x = 0;
        std::memcpy(&x, parsed.partData[0], sizeof x);  // the first vertex record starts with its position
        EXPECT_EQ(x, -1.0f);
        ASSERT_TRUE(prefetch.take(cut, ok, parsed));
        EXPECT_FALSE(ok);
        EXPECT_FALSE(parsed.model);
        EXPECT_EQ(parsed.meshesRead, 1) << "the mesh before the break";
        ASSERT_TRUE(prefetch.take(missing, ok, parsed));
        EXPECT_FALSE(ok);
        EXPECT_EQ(parsed.meshesRead, 0);
        EXPECT_FALSE(prefetch.take(good, ok, parsed)) << "handed over twice";
        EXPECT_FALSE(prefetch.take(dir.path() + "elsewhere.geo", ok, parsed));
    }
    ModelPrefetch prefetch({good, cut}, 1);
    ModelLoader loader(&observers, &prefetch);
    std::unique_ptr<Model> model(static_cast<Model*>(loader.load(good.c_str(), nullptr)));
    ASSERT_TRUE(model);
    EXPECT_EQ(loader.load(cut.c_str(), nullptr), nullptr);
    EXPECT_EQ(counter.steps, 3) << "two meshes, and one before the break";
    ParsedModel parsed;
    bool ok = false;
    EXPECT_FALSE(prefetch.take(good, ok, parsed)) << "the loader did not take what was read ahead";
    MemoryVertex v;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, model->meshes[0]->parts[0]->buffer.get());
    glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, sizeof v, sizeof v, &v);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    const float expected[4] = {4, 5, 6, 1};
    EXPECT_EQ(std::memcmp(v.position, expected, sizeof expected), 0);
}

TEST_F(ModelTest, DrawnPartCoversItsPixels) {
    // One triangle over the lower-left half of the viewport in clip space.
    GeoMesh mesh{1, "tri", {}};
    mesh.parts.push_back({"", {vertex(-1, -1, 0), vertex(1, -1, 0), vertex(-1, 1, 0)}});
    auto model = parse(encodeGeo({mesh}));
    ASSERT_TRUE(model);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    for (auto draw : {drawPart, drawPartSurface}) {
        glClear(GL_COLOR_BUFFER_BIT);
        draw(model->meshes[0]->parts[0]);
        const auto pixels = readPixels(0, 0, kWidth, kHeight);
        auto lit = [&](int x, int y) { return pixels[(static_cast<size_t>(y) * kWidth + x) * 4] > 128; };
        EXPECT_TRUE(lit(2, 2));
        EXPECT_TRUE(lit(200, 40));
        EXPECT_TRUE(lit(40, 200));
        EXPECT_FALSE(lit(253, 253));
        EXPECT_FALSE(lit(140, 140));
        GLint buffer = -1;
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &buffer);
        EXPECT_EQ(buffer, 0);
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    }
}

TEST(BoxCorner, TopFaceThenBottomFace) {
    Box b;
    b.minX = 1;
    b.maxX = 2;
    b.minY = 3;
    b.maxY = 4;
    b.minZ = 5;
    b.maxZ = 6;
    const float expected[8][3] = {{1, 4, 5}, {2, 4, 5}, {2, 4, 6}, {1, 4, 6}, {1, 3, 5}, {2, 3, 5}, {2, 3, 6}, {1, 3, 6}};
    for (int i = 0; i < 8; ++i) {
        const sm::Vec3 c = boxCorner(b, i);
        EXPECT_EQ(c.x, expected[i][0]) << i;
        EXPECT_EQ(c.y, expected[i][1]) << i;
        EXPECT_EQ(c.z, expected[i][2]) << i;
        EXPECT_EQ(c.w, 1.0f);
    }
}

}  // namespace
