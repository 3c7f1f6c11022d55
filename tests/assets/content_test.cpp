#include <png.h>

#include "assets/content.h"
#include "formats/geo_writer.h"
#include "platform/platform.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "support/gl_test.h"
#include "support/log_capture.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace {

TEST(AssetName, StripsDirectoryAndLastExtension) {
    EXPECT_EQ(assetName("data/textures/mask.png"), "mask");
    EXPECT_EQ(assetName("textures\\wall.png"), "wall");
    EXPECT_EQ(assetName("a\\b/c.d.geo"), "c.d");
    EXPECT_EQ(assetName(".hidden"), ".hidden");
    EXPECT_EQ(assetName("noext"), "noext");
    const AssetPath p = splitAssetPath("dir/sub/name.tar.gz");
    EXPECT_EQ(p.directory, "dir/sub/");
    EXPECT_EQ(p.extension, "gz");
    EXPECT_EQ(p.full(), "dir/sub/name.tar.gz");
    EXPECT_EQ(splitAssetPath("x/.hidden").full(), "x/.hidden");
}

class Recorder : public IContentObserver {
public:
    void onLoadError(const std::string& message) override { errors.push_back(message); }
    void onLoadBegin(int t) override {
        total = t;
        ++begins;
    }
    void onLoadStep() override { ++steps; }
    void onLoadEnd() override { ++ends; }
    std::vector<std::string> errors;
    int total = -1, begins = 0, steps = 0, ends = 0;
};

class ContentTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        DemoContent::instance()->addObserver(&recorder);
    }
    void TearDown() override {
        DemoContent::destroyInstance();
        GLTest::TearDown();
    }
    bool load() { return DemoContent::instance()->load(dir.path(), nullptr); }
    static DemoContent& content() { return *DemoContent::instance(); }

    TempDir dir;
    Recorder recorder;
};

std::string rgbaPng() { return encodePng(2, 2, PNG_FORMAT_RGBA, std::vector<unsigned char>(16, 255)); }
std::string rgbJpeg() { return encodeJpeg(4, 4, 3, std::vector<unsigned char>(48, 100)); }

GeoMesh meshWith(const std::string& material) {
    GeoMesh mesh{1, "m", {}};
    mesh.parts.push_back({material, {}});
    return mesh;
}

TEST_F(ContentTest, EmptyDirectoryLoadsNothingAndSucceeds) {
    EXPECT_TRUE(load());
    EXPECT_EQ(recorder.total, 0);
    EXPECT_EQ(recorder.steps, 0);
    EXPECT_EQ(recorder.ends, 1);
    EXPECT_EQ(content().find<Texture>("anything"), nullptr);
}

TEST_F(ContentTest, StepsAddUpToTheTotalAndJpegReplacesPng) {
    dir.write("textures/wall.png", rgbaPng());
    dir.write("textures/wall.jpg", rgbJpeg());
    dir.write("textures/mask.png", rgbaPng());
    dir.write("textures/notes.txt", "not a picture");
    dir.write("models/a.geo", encodeGeo({meshWith(""), meshWith("")}));
    dir.write("models/b.geo", encodeGeo({meshWith("")}));
    ASSERT_TRUE(load());
    EXPECT_EQ(recorder.total, 3 + 2 + 3);
    EXPECT_EQ(recorder.steps, recorder.total);
    EXPECT_TRUE(recorder.errors.empty());
    Texture* wall = content().find<Texture>("wall");
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->bitsPerPixel, 24);  // the JPEG loads last and takes the name
    EXPECT_NE(content().find<Texture>("mask"), nullptr);
    EXPECT_EQ(content().find<Texture>("Mask"), nullptr);  // names compare exactly
    EXPECT_EQ(content().find<Model>("mask"), nullptr);   // and per kind
    std::vector<Model*> models;
    content().findAll(models);
    ASSERT_EQ(models.size(), 2u);
    EXPECT_EQ(models[0]->meshes.size(), 2u);  // "a" before "b"
}

TEST_F(ContentTest, AFailingFileStillStepsAndTheOthersStay) {
    dir.write("textures/good.png", rgbaPng());
    dir.write("textures/bad.png", "not a png");
    std::string broken = encodeGeo({meshWith(""), meshWith("")});
    broken.resize(broken.size() - 2);
    dir.write("models/broken.geo", broken);
    dir.write("models/short.geo", "\x01");
    dir.write("materials/bad.mat", "<!-- no root --><M Name=\"x\"/>");
    EXPECT_FALSE(load());
    // 2 pictures + 2 model files + 2 counted meshes (the short file counts none).
    EXPECT_EQ(recorder.total, 6);
    // Both picture steps, both model file steps and the first mesh of the broken file.
    EXPECT_EQ(recorder.steps, 5);
    ASSERT_EQ(recorder.errors.size(), 4u);
    EXPECT_EQ(recorder.errors[0], "couldn't load asset '" + dir.path() + "textures" + platform::pathSeparator() + "bad.png'");
    EXPECT_NE(content().find<Texture>("good"), nullptr);
    EXPECT_EQ(content().find<Model>("broken"), nullptr);
}

TEST_F(ContentTest, CountMeshesIsZeroForUnreadableFiles) {
    EXPECT_EQ(countMeshes(dir.path() + "missing.geo"), 0);
    EXPECT_EQ(countMeshes(dir.write("three.geo", "\x03\x00\x00")), 0);
    EXPECT_EQ(countMeshes(dir.write("neg.geo", std::string("\xff\xff\xff\xff", 4))), 0);
    EXPECT_EQ(countMeshes(dir.write("big.geo", std::string("\x05\x01\x00\x00", 4))), 261);
}

TEST_F(ContentTest, LinkStepsResolveAndReportMissingNames) {
    LogCapture log;
    dir.write("textures/floor.png", rgbaPng());
    dir.write("materials/floor.mat",
              "<M Name=\"floor\"><Textures><Texture Type=\"Diffuse\" File=\"maps\\floor.png\"/>"
              "<Texture Type=\"Bump\" File=\"lost.png\"/></Textures></M>");
    dir.write("materials/plain.mat", "<M Name=\"plain\"/>");
    GeoMesh mesh{1, "m", {}};
    mesh.parts.push_back({"floor", {}});
    mesh.parts.push_back({"", {}});
    mesh.parts.push_back({"Floor", {}});
    dir.write("models/room.geo", encodeGeo({mesh}));
    ASSERT_TRUE(load());

    EXPECT_FALSE(resolveMaterialTextures());
    Material* floor = content().find<Material>("floor");
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(floor->diffuseMap.texture, content().find<Texture>("floor"));
    EXPECT_EQ(floor->bumpMap.texture, nullptr);
    EXPECT_TRUE(log.contains("DemoController: error: texture 'lost' wasn't found"));

    EXPECT_FALSE(resolveMeshMaterials());
    const Mesh* m = content().find<Model>("room")->meshes[0];
    EXPECT_EQ(m->parts[0]->material, floor);
    EXPECT_EQ(m->parts[1]->material, nullptr);
    EXPECT_EQ(m->parts[2]->material, nullptr);
    EXPECT_TRUE(log.contains("DemoController: error: material 'Floor' wasn't found"));
    EXPECT_EQ(log.lines.size(), 2u);  // the empty names are not looked up
}

TEST_F(ContentTest, ReleaseEmptiesTheRegistry) {
    dir.write("textures/a.png", rgbaPng());
    ASSERT_TRUE(load());
    content().release();
    EXPECT_EQ(content().find<Texture>("a"), nullptr);
    content().release();
}

}  // namespace
