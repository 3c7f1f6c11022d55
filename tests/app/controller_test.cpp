#include <gtest/gtest.h>

#include <cstdlib>

#include "base/random.h"
#include "app/archive.h"
#include "app/controller.h"
#include "gl/gl.h"
#include "gl/render_target.h"
#include "formats/geo_writer.h"
#include "assets/loading_screen.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "platform/platform.h"
#include "support/log_capture.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_scene.h"
#include "support/zip_writer.h"

namespace {

class StepCounter : public IContentObserver {
public:
    void onLoadError(const std::string&) override {}
    void onLoadBegin(int t) override { total = t; }
    void onLoadStep() override { ++steps; }
    void onLoadEnd() override {}
    int total = -1, steps = 0;
};

GeoMesh meshUsing(const std::string& material, int nodeId) {
    GeoMesh mesh{nodeId, "mesh" + std::to_string(nodeId), {}};
    GeoVertex v = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0}};
    mesh.parts.push_back({material, {v, v, v}});
    return mesh;
}

class ControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The music goes to a file that swallows it: the tests need no sound device.
        setEnvironment("SDL_AUDIODRIVER", "disk");
        setEnvironment("SDL_DISKAUDIOFILE", nullDevice());
    }
    void SetUp() override {
        controller = DemoController::instance();
        // The shared test scene, with everything the loading screen and the music need.
        TestSceneOptions options;
        options.loaderPicture = true;
        options.music = true;
        options.floorTexture = true;
        content = testSceneEntries(options);
    }
    void TearDown() override {
        DemoController::destroyInstance();
    }
    void model(const std::string& name, const std::vector<GeoMesh>& meshes) {
        content.emplace_back("voltaresca_data/models/" + name + ".geo", encodeGeo(meshes));
    }
    void drop(const std::string& relative) {
        for (auto it = content.begin(); it != content.end(); ++it)
            if (it->first == "voltaresca_data/" + relative) {
                content.erase(it);
                return;
            }
        ADD_FAILURE() << relative << " is not in the archive";
    }
    // Writes the archive, unpacks it and returns the data directory.
    std::string unpack() {
        const std::string archive = dir.path() + "demodat";
        EXPECT_TRUE(writeZip(archive, content));
        extractArchive(dir.path(), archive);
        return dir.path() + "voltaresca_data" + platform::pathSeparator();
    }

    TempDir dir;
    ZipEntries content;
    LogCapture log;
    DemoController* controller = nullptr;
};

TEST_F(ControllerTest, LoadsAnArchiveEndToEnd) {
    const std::string data = unpack();
    ASSERT_TRUE(controller->init(RunMode::Demo, 320, 240, 32, 60, false)) << platform::lastError();
    StepCounter counter;
    DemoContent::instance()->addObserver(&counter);
    ASSERT_TRUE(controller->loadContent(data));

    // 12 pictures + 8 model files + 13 meshes, every one drawn on the loading screen; the 4
    // animation files step too but are not counted.
    EXPECT_EQ(counter.total, 33);
    EXPECT_EQ(counter.steps, 37);
    ASSERT_NE(controller->loadingScreen(), nullptr);
    EXPECT_EQ(controller->loadingScreen()->done, 37);
    EXPECT_EQ(controller->loadingScreen()->total, 33);
    EXPECT_NE(controller->loadingScreen()->picture, nullptr);

    const auto& models = controller->models();
    ASSERT_NE(models.credits, nullptr);
    EXPECT_EQ(controller->creditsMeshes().size(), 1u);
    EXPECT_EQ(controller->headBodyMeshes().size(), 1u);
    EXPECT_EQ(controller->headEyesMeshes().size(), 1u);
    Material* floor = DemoContent::instance()->find<Material>("floor");
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(models.winda->meshes[0]->parts[0]->material, DemoContent::instance()->find<Material>("metal"));
    EXPECT_EQ(floor->diffuseMap.texture, DemoContent::instance()->find<Texture>("floor"));

    ASSERT_EQ(controller->maskTexture(), DemoContent::instance()->find<Texture>("mask"));
    GLint filter = 0, width = 0;
    glBindTexture(GL_TEXTURE_2D, controller->maskTexture()->glName());
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_NEAREST);
    glBindTexture(GL_TEXTURE_1D, controller->frame()->noiseTexture());
    glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 240 / 4);

    EXPECT_TRUE(controller->music().isOpen());
    controller->render(0, 0);  // the first frame starts the music
    EXPECT_TRUE(controller->music().isPlaying());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    controller->shutdown();
    EXPECT_FALSE(DemoContent::exists());
    EXPECT_FALSE(controller->music().isOpen());
    EXPECT_EQ(controller->window(), nullptr);
    EXPECT_EQ(controller->loadingScreen(), nullptr);
    controller->shutdown();  // harmless
}

TEST_F(ControllerTest, EveryLoadStepRedrawsWhenTheSwapDoesNotWait) {
    const std::string data = unpack();
    controller->setWindowStyle(false, false);
    ASSERT_TRUE(controller->init(RunMode::Demo, 320, 240, 32, 60, false)) << platform::lastError();
    ASSERT_EQ(platform::swapInterval(controller->window()->handle()), 0);
    ASSERT_TRUE(controller->loadContent(data));
    const LoadingScreen* screen = controller->loadingScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->done, 37);
    EXPECT_EQ(screen->drawn, screen->done + 1);  // the total's redraw, then one a step
}

TEST_F(ControllerTest, MissingMaterialFailsTheLoadWithItsLine) {
    drop("models/factory.geo");
    model("factory", {meshUsing("ghost", 4)});
    const std::string data = unpack();
    ASSERT_TRUE(controller->init(RunMode::Demo, 320, 240, 32, 60, false));
    EXPECT_FALSE(controller->loadContent(data));
    EXPECT_TRUE(log.contains("DemoController: error: material 'ghost' wasn't found"));
    controller->shutdown();
    controller->shutdown();
}

TEST_F(ControllerTest, MissingSceneAssetIsReportedNotDereferenced) {
    drop("models/winda.geo");
    drop("music/demotune.mp3");  // silence is no failure
    drop("textures/mask_big.png");
    const std::string data = unpack();
    ASSERT_TRUE(controller->init(RunMode::Demo, 1025, 240, 32, 60, false));
    EXPECT_FALSE(controller->loadContent(data));
    EXPECT_TRUE(log.contains("DemoController: error: model 'winda' wasn't found"));
    EXPECT_TRUE(log.contains("DemoController: error: texture 'mask_big' wasn't found"));
    EXPECT_FALSE(controller->music().isOpen());
    controller->render(0, 0);  // draws what there is, dereferences nothing that is missing
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    controller->shutdown();
}

TEST_F(ControllerTest, InitMakesTheOffscreenTargets) {
    ASSERT_TRUE(controller->init(RunMode::Demo, 1366, 768, 32, 60, false));
    ASSERT_NE(controller->frame()->sceneTarget(), nullptr);
    EXPECT_EQ(controller->frame()->sceneTarget()->width, 1366);
    EXPECT_EQ(controller->frame()->glowTarget()->width, 341);
    EXPECT_EQ(controller->frame()->glowTarget()->height, 192);
    EXPECT_EQ(controller->frame()->glowTexture()->width, 341);
    EXPECT_EQ(controller->frame()->sceneColorTexture()->height, 768);
    EXPECT_TRUE(glIsFramebufferEXT(controller->frame()->glowTarget()->framebuffer.get()));
    GLint format = 0;
    glBindTexture(GL_TEXTURE_2D, controller->frame()->sceneDepthTexture());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_DEPTH_COMPONENT32);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    controller->shutdown();
    EXPECT_EQ(controller->frame(), nullptr);  // the targets and textures went with it
    controller->shutdown();
}

TEST_F(ControllerTest, ShutdownBeforeInitIsHarmless) {
    controller->shutdown();
    controller->shutdown();
    // ... and leaves nothing behind that stops a later start.
    ASSERT_TRUE(controller->init(RunMode::Demo, 320, 240, 32, 60, false));
    EXPECT_NE(controller->window(), nullptr);
    EXPECT_NE(controller->frame(), nullptr);
    controller->shutdown();
}

TEST(Random, ClassicSequenceWithinRange) {
    Random random;
    EXPECT_EQ(random.next(), 16838);
    EXPECT_EQ(random.next(), 5758);
    EXPECT_EQ(random.next(), 10113);
    Random other(12345);
    for (int i = 0; i < 10000; ++i) {
        const int value = other.next();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, Random::kMax);
    }
}

}  // namespace
