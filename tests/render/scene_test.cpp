// The whole frame on a real GL driver: the controller loads a small scene written through the
// content writers and renders it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "anim/mancam.h"
#include "app/controller.h"
#include "gl/gl.h"
#include "assets/image.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "platform/platform.h"
#include "render/shadow_map.h"
#include "support/gl_test.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "scene_fixture.h"
#include "support/test_scene.h"

namespace {

class SceneTest : public SceneFixture {
protected:
    // The lit scene before post-processing, bottom row first.
    static std::vector<unsigned char> sceneColour(DemoController* c) {
        return texels(c->frame()->sceneColorTexture()->glName(), kW, kH);
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
    // Given the bounds of the part behind the camera, the no-cull part still draws.
    sign->box = far->box;
    c->update(150.0f, 50.0f);
    EXPECT_TRUE(sign->visible);
    EXPECT_FALSE(far->visible);

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
    std::vector<unsigned char> pixels;
    readEachFrame(*c, kW, kH, pixels);
    c->update(2000.0f, 50.0f);
    EXPECT_EQ(c->currentCamera(), nullptr);
    c->render(2000.0f, 50.0f);
    EXPECT_EQ(c->frame()->firstGlError(), "");
    const unsigned char* middle = &pixels[static_cast<size_t>((kH / 2 * kW + kW / 2) * 4)];
    EXPECT_GT(middle[2], 150) << "the blue end image";
    const unsigned char* top = &pixels[static_cast<size_t>(((kH - 2) * kW + kW / 2) * 4)];
    EXPECT_LT(top[2], 30) << "the mask's dark band";
}

// The composed frame in the window with a scripted camera: the fade and the noise reach the
// post-processing, and the end image and the mask lie over the processed picture.
TEST_F(SceneTest, FinalFrameCarriesFadeNoiseEndImageAndMask) {
    TestSceneOptions options;
    options.firstShotEnd = 20.0f;  // one still shot: between frames only the fade changes
    options.secondShotEnd = 40.0f;
    options.noiseFrom = 6500.0f;
    options.endFrom = 8000.0f;
    DemoController* c = start(options);
    std::vector<unsigned char> pixels;
    readEachFrame(*c, kW, kH, pixels);
    auto frameAt = [&](float t, float dt) {
        c->update(t, dt);
        c->render(t, dt);
        return pixels;
    };
    auto at = [](const std::vector<unsigned char>& p, int x, int y) { return &p[static_cast<size_t>((y * kW + x) * 4)]; };
    // The sum of the green channel over the rows between the mask's bands.
    auto inner = [&](const std::vector<unsigned char>& p) {
        double sum = 0;
        for (int y = kH / 5; y < kH * 4 / 5; ++y)
            for (int x = 0; x < kW; ++x) sum += at(p, x, y)[1];
        return sum;
    };
    auto bandsBlack = [&](const std::vector<unsigned char>& p) {
        int lit = 0;
        for (int y : {1, 8, kH - 9, kH - 2})
            for (int x = 0; x < kW; ++x) lit += at(p, x, y)[0] + at(p, x, y)[1] + at(p, x, y)[2] > 6;
        return lit == 0;
    };

    // The fade rises by 0.05 each 300 ms: half at 3 s, whole at 6 s.
    frameAt(1500.0f, 1500.0f);
    const auto half = frameAt(3000.0f, 1500.0f);
    ASSERT_FLOAT_EQ(c->frame()->lastFade(), 0.5f);
    frameAt(4500.0f, 1500.0f);
    const auto whole = frameAt(6000.0f, 1500.0f);
    ASSERT_FLOAT_EQ(c->frame()->lastFade(), 1.0f);
    ASSERT_GT(inner(whole), 40.0 * kW * kH * 3 / 5) << "the lit scene is too dark to compare";
    EXPECT_NEAR(inner(half) / inner(whole), 0.5, 0.02);
    int off = 0;
    for (int y = kH / 5; y < kH * 4 / 5; ++y)
        for (int x = 0; x < kW; ++x) off += std::abs(2 * at(half, x, y)[1] - at(whole, x, y)[1]) > 4;
    EXPECT_LT(off, kW * kH / 100) << "pixels not halved by the fade";
    EXPECT_TRUE(bandsBlack(half));
    EXPECT_TRUE(bandsBlack(whole));

    // Heavy noise tears and grains the processed picture; the mask's bands stay black over it.
    const auto noisy = frameAt(7000.0f, 1000.0f);
    double change = 0;
    for (int y = kH / 5; y < kH * 4 / 5; ++y)
        for (int x = 0; x < kW; ++x) change += std::abs(at(noisy, x, y)[1] - at(whole, x, y)[1]);
    EXPECT_GT(change / (kW * kH * 3 / 5), 8.0) << "the noise doesn't reach the picture";
    EXPECT_TRUE(bandsBlack(noisy));

    // The end image: not there before its time, whole a second after it, under the mask.
    const auto early = frameAt(7900.0f, 900.0f);
    const unsigned char* before = at(early, kW / 2, kH / 2);
    EXPECT_GT(std::abs(before[0] - 40) + std::abs(before[1] - 80) + std::abs(before[2] - 220), 30);
    // At full strength it is blended with its own colour as the source factor: c * c / 255.
    const auto end = frameAt(9500.0f, 1600.0f);
    const unsigned char* middle = at(end, kW / 2, kH / 2);
    EXPECT_NEAR(middle[0], 40 * 40 / 255.0, 2);
    EXPECT_NEAR(middle[1], 80 * 80 / 255.0, 2);
    EXPECT_NEAR(middle[2], 220 * 220 / 255.0, 2);
    EXPECT_TRUE(bandsBlack(end));
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

// Two runs of one command give the same bytes; and frames that are not written need not be
// drawn: with --draw-every-frame the pictures are the same, after a cut, during the credits and
// in the believe screen's window (its typing cursor blinks from frame to frame) included.
TEST(Capture, SameCommandGivesTheSamePictures) {
    TempDir dir;
    const std::string archive = dir.path() + "scene.zip";
    // "late": the second shot runs past the credits and the believe screen; the cut is at 4 s.
    ASSERT_EQ(runProgram(VOLTARESCA_SCENE_WRITER, {archive, "late"}), 0);
    const char* const moments[] = {"700", "4100", "4500", "154000", "157300", "205000", "211000"};
    std::string runs[3];
    for (int run = 0; run < 3; ++run) {
        const std::string out = dir.path() + std::to_string(run);
        std::vector<std::string> args = {"--archive", archive, "--size", "160x90", "--fps", "2",
                                         "--at", "700,4100,4500,154000,157300,205000,211000", "--out", out};
        if (run == 2) args.push_back("--draw-every-frame");
        ASSERT_EQ(runProgram(VOLTARESCA_CAPTURE, args), 0) << "run " << run;
        for (const char* t : moments) {
            char name[64];
            std::snprintf(name, sizeof name, "/at_%09.1f.png", std::atof(t));
            const std::string picture = readFile(out + name);
            if (run == 0) {
                // Whole pictures of the scene: from the second shot on, well after its cut, lit.
                DecodedImage image;
                ASSERT_TRUE(decodePng(out + name, image)) << name;
                EXPECT_EQ(image.width * 1000 + image.height, 160090) << name;
                double sum = 0;
                const size_t bytes = static_cast<size_t>(image.width * image.height * (image.bitsPerPixel / 8));
                for (size_t i = 1; i < bytes; i += image.bitsPerPixel / 8) sum += image.pixels[i];
                const double mean = sum / (image.width * image.height);
                releasePixels(image);
                if (std::atof(t) > 100000.0) {
                    EXPECT_GT(mean, 20.0) << name << " is dark";
                }
            }
            runs[run] += picture;
        }
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_TRUE(runs[0] == runs[2]) << "a picture differs when every frame is drawn";

    // A missing archive is refused with a non-zero status.
    EXPECT_NE(runProgram(VOLTARESCA_CAPTURE, {"--archive", dir.path() + "none.zip", "--at", "0", "--out", dir.path()}), 0);
    // A missing output folder is made; one that cannot be (below a file) is refused.
    dir.write("file", std::string("x"));
    EXPECT_NE(runProgram(VOLTARESCA_CAPTURE, {"--archive", archive, "--at", "0", "--out", dir.path() + "file/folder"}), 0);
    EXPECT_EQ(runProgram(VOLTARESCA_CAPTURE, {"--archive", archive, "--at", "0", "--out", dir.path() + "new/folder"}), 0);
    EXPECT_FALSE(readFile(dir.path() + "new/folder/at_0000000.0.png").empty());
}

// The capture program end to end: a --from/--to stretch writes each of its frames, upright
// (GL reads the bottom row first, the file holds the top row first); a picture that cannot be
// written or an archive that does not load ends the run non-zero with the reason, and either
// way the private data folder goes.
TEST(Capture, StretchIsUprightAndFailuresCleanUp) {
    namespace fs = std::filesystem;
    TempDir dir;
    const std::string archive = dir.path() + "scene.zip", tmp = dir.path() + "tmp", err = dir.path() + "err.txt";
    ASSERT_EQ(runProgram(VOLTARESCA_SCENE_WRITER, {archive}), 0);
    fs::create_directory(tmp);
    auto capture = [&](const std::string& from, std::vector<std::string> args) {
        args.insert(args.begin(), {"--archive", from, "--size", "160x90", "--fps", "5"});
        return runProgram(VOLTARESCA_CAPTURE, args, {tmp, err});
    };
    // The scene's end image is whole from 7 s on.
    ASSERT_EQ(capture(archive, {"--from", "7000", "--to", "7600", "--out", dir.path() + "seq"}), 0) << readFile(err);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path() + "seq")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame_000000.png", "frame_000001.png", "frame_000002.png", "frame_000003.png"}));
    DecodedImage image;
    ASSERT_TRUE(decodePng(dir.path() + "seq/frame_000003.png", image));
    ASSERT_EQ(image.width, 160);
    ASSERT_EQ(image.height, 90);
    auto pixel = [&](int rowFromTop) {
        return image.pixels + static_cast<size_t>(((image.height - 1 - rowFromTop) * image.width + 80) * (image.bitsPerPixel / 8));
    };
    EXPECT_LT(pixel(2)[1], 10) << "the mask's band";
    EXPECT_GT(pixel(20)[1], 150) << "the green band sits high in the picture";
    EXPECT_GT(pixel(65)[2], 150) << "blue below it";
    EXPECT_LT(pixel(65)[1], 120);
    releasePixels(image);
    EXPECT_TRUE(fs::is_empty(tmp));

    // The first picture's name is taken by a folder: the write fails.
    fs::create_directories(dir.path() + "taken/frame_000000.png");
    EXPECT_NE(capture(archive, {"--from", "7000", "--to", "7200", "--out", dir.path() + "taken"}), 0);
    EXPECT_NE(readFile(err).find("can't write '" + dir.path() + "taken/frame_000000.png'"), std::string::npos) << readFile(err);
    EXPECT_TRUE(fs::is_empty(tmp));

    // An archive without its models does not load.
    ZipEntries entries = testSceneEntries();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const auto& e) { return e.first.rfind("voltaresca_data/models/", 0) == 0 && e.first.back() != '/'; }),
                  entries.end());
    ASSERT_TRUE(writeZip(dir.path() + "broken.zip", entries));
    EXPECT_NE(capture(dir.path() + "broken.zip", {"--at", "0", "--out", dir.path() + "none"}), 0);
    EXPECT_NE(readFile(err).find("didn't load"), std::string::npos) << readFile(err);
    EXPECT_TRUE(fs::is_empty(tmp));
}

}  // namespace
