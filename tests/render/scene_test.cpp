// The whole frame on a real GL driver: the controller loads a small scene written through the
// content writers and renders it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "anim/mancam.h"
#include "app/controller.h"
#include "gl/gl.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "platform/platform.h"
#include "render/shadow_map.h"
#include "support/temp_dir.h"
#include "scene_fixture.h"
#include "support/test_scene.h"

namespace {

class SceneTest : public SceneFixture {
protected:
    // The lit scene before post-processing, bottom row first.
    static std::vector<unsigned char> sceneColour(DemoController* c) {
        return texels(c->frame()->sceneColorTexture()->glName, kW, kH);
    }

    static MeshPart* partOf(Model* model, const std::string& mesh) {
        for (Mesh* m : model->meshes)
            if (m->name == mesh) return m->parts.front();
        return nullptr;
    }

};

TEST_F(SceneTest, CullsAgainstTheCameraAndKeepsNoCullParts) {
    DemoController* c = start();
    c->update(100.0f, 50.0f);
    Model* factory = c->models().factory;
    EXPECT_TRUE(partOf(factory, "floor")->visible);
    EXPECT_TRUE(partOf(factory, "crate")->visible);
    MeshPart* far = partOf(factory, "far_crate");
    EXPECT_FALSE(far->visible) << "behind the camera";
    MeshPart* sign = partOf(factory, "credits_sign");
    EXPECT_TRUE(sign->noCull);
    EXPECT_TRUE(partOf(c->models().winda, "lift")->noCull);
    EXPECT_FALSE(partOf(c->models().wheels, "gear")->noCull);

    // The lists: lamp glows, glass is transparent, everything else opaque and non-glow.
    const PartLists& lists = c->frame()->partLists();
    EXPECT_EQ(lists.scene.size(), 8u);
    ASSERT_EQ(lists.glow.size(), 1u);
    EXPECT_EQ(lists.glow[0], partOf(factory, "lamp"));
    ASSERT_EQ(lists.transparent.size(), 1u);
    EXPECT_EQ(lists.transparent[0], partOf(factory, "glass"));
    EXPECT_EQ(lists.opaque.size(), 7u);
    EXPECT_EQ(c->frame()->shadowMap()->casters(), lists.opaque);
}

TEST_F(SceneTest, FadeFollowsTheScriptedCut) {
    TestSceneOptions options;
    options.firstShotEnd = 1.0f;
    DemoController* c = start(options);
    std::vector<float> fades;
    for (int k = 1; k <= 40; ++k) {
        const float t = 50.0f * k;
        c->update(t, 50.0f);
        c->render(t, 50.0f);
        fades.push_back(c->frame()->lastFade());
    }
    const float step = 50.0f / 300.0f;
    EXPECT_NEAR(fades[0], step * 0.05f, 1e-6f);
    EXPECT_NEAR(fades[13], 14 * step * 0.05f, 1e-5f) << "700 ms: still rising";
    // Past 700 ms (the shot ends at 1 s) the picture drops to black and stays black until the
    // cut after 1 s...
    for (int k = 14; k < 20; ++k) EXPECT_EQ(fades[k], 0.0f) << "frame " << k;
    // ...then rises at 0.2 per 300 ms with the next shot.
    EXPECT_NEAR(fades[20], step * 0.2f, 1e-5f);
    EXPECT_NEAR(fades[29], 10 * step * 0.2f, 1e-5f);
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

TEST_F(SceneTest, FreeModeFadeIsOne) {
    DemoController* c = start({}, RunMode::Free);
    for (int k = 1; k <= 5; ++k) {
        c->update(50.0f * k, 50.0f);
        c->render(50.0f * k, 50.0f);
        EXPECT_EQ(c->frame()->lastFade(), 1.0f);
    }
    EXPECT_EQ(c->frame()->fadeState().value, 0.0f);
}

TEST_F(SceneTest, ShadowDarkensTheFloorUnderTheCasterOnly) {
    DemoController* c = start();
    c->update(100.0f, 50.0f);
    c->render(100.0f, 50.0f);
    const std::vector<unsigned char> with = sceneColour(c);
    // Lift the crate far out of view: no shadow, no crate.
    Mesh* crate = partOf(c->models().factory, "crate")->mesh;
    crate->matrix[13] = 1000.0f;
    c->render(100.0f, 50.0f);
    const std::vector<unsigned char> without = sceneColour(c);

    // Pixels darker with the caster than without it and not part of the crate itself (its
    // colour is orange, red well above blue).
    int shadowed = 0, farOff = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const size_t i = static_cast<size_t>((y * kW + x) * 4);
            const bool darker = with[i + 1] + 20 < without[i + 1];
            const bool crateColour = with[i] > with[i + 2] + 40;
            if (!darker || crateColour) continue;
            ++shadowed;
            // The crate sits in the middle of the picture; its shadow falls near it.
            if (x < kW / 5 || x > kW * 4 / 5 || y < kH / 6) ++farOff;
        }
    EXPECT_GT(shadowed, 50);
    EXPECT_EQ(farOff, 0);
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

TEST_F(SceneTest, EveryPassRunsWithoutGlErrorsFor300Frames) {
    TestSceneOptions options;
    options.shake = 0.5f;
    options.endFrom = 5000.0f;
    DemoController* c = start(options);
    for (int k = 1; k <= 300; ++k) {
        c->update(33.0f * k, 33.0f);
        c->render(33.0f * k, 33.0f);
    }
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

TEST_F(SceneTest, NoCameraStillClearsAndLaysTheEndImageAndMask) {
    TestSceneOptions options;
    options.cameras = false;
    options.endFrom = 0.0f;
    DemoController* c = start(options);
    std::vector<unsigned char> pixels(static_cast<size_t>(kW * kH * 4));
    c->setBeforeSwap([&] {
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    });
    c->update(2000.0f, 50.0f);
    EXPECT_EQ(c->currentCamera(), nullptr);
    c->render(2000.0f, 50.0f);
    EXPECT_EQ(c->frame()->firstGlError(), "");
    const unsigned char* middle = &pixels[static_cast<size_t>((kH / 2 * kW + kW / 2) * 4)];
    EXPECT_GT(middle[2], 150) << "the blue end image";
    const unsigned char* top = &pixels[static_cast<size_t>(((kH - 2) * kW + kW / 2) * 4)];
    EXPECT_LT(top[2], 30) << "the mask's dark band";
}

// Two runs of one command give the same bytes; and frames that are not written need not be
// drawn: with --draw-every-frame the pictures are the same, after a cut, during the credits and
// in the believe screen's window (its typing cursor blinks from frame to frame) included.
TEST(Capture, SameCommandGivesTheSamePictures) {
    TempDir dir;
    const std::string archive = dir.path() + "scene.zip";
    // "late": the second shot runs past the credits and the believe screen; the cut is at 4 s.
    ASSERT_EQ(std::system((std::string(VOLTARESCA_SCENE_WRITER) + " " + archive + " late").c_str()), 0);
    const char* const moments[] = {"700", "4100", "4500", "154000", "157300", "205000", "211000"};
    std::string runs[3];
    for (int run = 0; run < 3; ++run) {
        const std::string out = dir.path() + std::to_string(run);
        ASSERT_EQ(std::system(("mkdir -p " + out).c_str()), 0);
        const std::string command = std::string(VOLTARESCA_CAPTURE) + " --archive " + archive +
                                    " --size 160x90 --fps 2 --at 700,4100,4500,154000,157300,205000,211000 --out " +
                                    out + (run == 2 ? " --draw-every-frame" : "") + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        for (const char* t : moments) {
            char name[64];
            std::snprintf(name, sizeof name, "/at_%09.1f.png", std::atof(t));
            const std::string picture = readFile(out + name);
            EXPECT_GT(picture.size(), 200u) << name;
            runs[run] += picture;
        }
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_TRUE(runs[0] == runs[2]) << "a picture differs when every frame is drawn";

    // A missing archive is refused with a non-zero status.
    EXPECT_NE(std::system((std::string(VOLTARESCA_CAPTURE) + " --archive " + dir.path() +
                           "none.zip --at 0 --out " + dir.path() + " 2>/dev/null")
                              .c_str()),
              0);
    // A missing output folder is made; one that cannot be (below a file) is refused.
    dir.write("file", std::string("x"));
    EXPECT_NE(std::system((std::string(VOLTARESCA_CAPTURE) + " --archive " + archive + " --at 0 --out " +
                           dir.path() + "file/folder 2>/dev/null")
                              .c_str()),
              0);
    EXPECT_EQ(std::system((std::string(VOLTARESCA_CAPTURE) + " --archive " + archive + " --at 0 --out " +
                           dir.path() + "new/folder 2>/dev/null")
                              .c_str()),
              0);
    EXPECT_FALSE(readFile(dir.path() + "new/folder/at_0000000.0.png").empty());
}

}  // namespace
