// The frame's special objects: the code-built electro tracks and the credits schedule without
// GL; the blur, the glow pass and the believe screen on a real driver inside the test scene.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/random.h"
#include "app/controller.h"
#include "gl/gl.h"
#include "assets/content.h"
#include "assets/effect.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "fx/runtime.h"
#include "platform/platform.h"
#include "render/credits.h"
#include "scene_fixture.h"
#include "render/electro.h"
#include "render/std_lighting.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/test_scene.h"

namespace {

float at(const TCBInterpolator<float>& track, float seconds) {
    float v = -1.0f;
    track.valueAt(seconds, &v);
    return v;
}

TEST(ElectroTracks, RangeIsASawtoothBetweenPulses) {
    TCBInterpolator<float> range;
    buildElectroRangeTrack(range);
    EXPECT_EQ(range.count(), 24);
    EXPECT_EQ(at(range, 1.0f), 0.0f) << "before the first key";
    EXPECT_EQ(at(range, 2.6f), 0.0f);
    EXPECT_GT(at(range, 3.3f), 0.0f);
    EXPECT_LT(at(range, 3.3f), 6.0f);
    EXPECT_EQ(at(range, 4.5f), 6.0f) << "held from 4 s (the last pulse's key)";
    EXPECT_EQ(at(range, 5.5f), 6.0f);
    EXPECT_EQ(at(range, 5.6f), 0.0f);
    EXPECT_EQ(at(range, 61.0f), 0.0f) << "after the last key";
}

TEST(ElectroTracks, EyeGlowFlickersThenPulsesTheSameInEveryRun) {
    TCBInterpolator<float> a, b;
    Random ra, rb;
    buildEyeGlowTrack(a, ra);
    buildEyeGlowTrack(b, rb);
    EXPECT_EQ(a.count(), 11 + 1 + 3 * 12);
    EXPECT_EQ(at(a, 3.0f), 1.0f);
    EXPECT_EQ(at(a, 3.4f), 0.05f);
    EXPECT_EQ(at(a, 5.0f), 0.05f) << "held after a pulse";
    for (float t = 8.9f; t < 11.0f; t += 0.05f) EXPECT_EQ(at(a, t), at(b, t)) << t;
    float time = 0, value = 0;
    bool step = false;
    ASSERT_TRUE(a.getKey(0, time, value, step));
    EXPECT_EQ(time, static_cast<float>(3.0 - 0.4)) << "sums made in double, stored as float";
}

TEST(CreditsSchedule, MonitorsAndPicturesFollowTheSchedule) {
    CreditsSchedule s;
    s.update(50.0f, 50.0f, 5);
    EXPECT_EQ(s.activeMonitor, 0);
    EXPECT_EQ(s.pictureIndex, 1) << "the first frame already sees a change";
    s.update(153400.0f, 50.0f, 5);
    EXPECT_EQ(s.activeMonitor, 0);
    s.update(153500.0f, 50.0f, 5);
    EXPECT_EQ(s.activeMonitor, 1);
    EXPECT_EQ(s.pictureIndex, 2);
    s.update(156500.0f, 50.0f, 5);
    s.update(159500.0f, 50.0f, 5);
    EXPECT_EQ(s.activeMonitor, 0);
    EXPECT_EQ(s.pictureIndex, 4);
    s.update(162500.0f, 50.0f, 5);
    EXPECT_EQ(s.activeMonitor, 5);
    EXPECT_EQ(s.pictureIndex, 0) << "wraps at the number of pictures";

    CreditsSchedule four;
    for (float t : {50.0f, 153500.0f, 156500.0f, 159500.0f}) four.update(t, 50.0f, 4);
    EXPECT_EQ(four.pictureIndex, 0);

    CreditsSchedule none;
    for (float t : {50.0f, 153500.0f, 156500.0f}) none.update(t, 50.0f, 0);
    EXPECT_EQ(none.pictureIndex, 0) << "no pictures: the index never leaves 0";
}

TEST(CreditsSchedule, VisibilityRisesFallsAndIsCappedAtOne) {
    CreditsSchedule s;
    s.update(0.0f, 0.0f, 3);
    EXPECT_EQ(s.visibility, 0.0f) << "a frame time of 0 changes nothing";
    EXPECT_EQ(s.noisePhase, 0.0f);
    s.update(1500.0f, 1500.0f, 3);  // one long frame overshoots
    EXPECT_FLOAT_EQ(s.visibility, 1.5f);
    EXPECT_EQ(s.shownVisibility(), 1.0f);
    EXPECT_EQ(s.visibilityRate, -1.0f);
    EXPECT_EQ(s.noiseFrame, 22 % 3);  // 22.5 noise frames
    s.update(3500.0f, 2000.0f, 3);
    EXPECT_EQ(s.visibility, 0.0f);
    EXPECT_EQ(s.visibilityRate, 0.0f);
    s.update(-500.0f, -4000.0f, 3);  // a step back: phase -7.5, still one of the three frames
    EXPECT_EQ(s.noiseFrame, 2);
}

class EffectsTest : public SceneFixture {
protected:
    static unsigned textureWithBlock(int w, int h, bool topLeft) {
        std::vector<unsigned char> rgba(static_cast<size_t>(w * h * 4), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool inside = topLeft ? (x < w / 4 && y >= h * 3 / 4) : (x >= w * 3 / 4 && y < h / 4);
                if (inside) rgba[static_cast<size_t>((y * w + x) * 4)] = 255;
            }
        unsigned name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return name;
    }

    // Red-weighted centre of a picture, as fractions of its size (bottom row first).
    static void centre(const std::vector<unsigned char>& p, int w, int h, float& cx, float& cy) {
        double sx = 0, sy = 0, sum = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double r = p[static_cast<size_t>((y * w + x) * 4)];
                sx += r * x, sy += r * y, sum += r;
            }
        cx = sum > 0 ? static_cast<float>(sx / sum / w) : -1.0f;
        cy = sum > 0 ? static_cast<float>(sy / sum / h) : -1.0f;
    }

};

TEST_F(EffectsTest, BlurKeepsThePictureUprightInTheThirdTextureAndRestoresState) {
    DemoController* c = start();
    Blur* blur = c->frame()->effects().dofBlur();
    ASSERT_NE(blur, nullptr);
    EXPECT_EQ(blur->width(), kW / 4);
    EXPECT_EQ(blur->height(), kH / 4);
    EXPECT_EQ(c->frame()->effects().glowBlur()->width(), kW / 8);

    const unsigned topLeft = textureWithBlock(kW, kH, true), bottomRight = textureWithBlock(kW, kH, false);
    glViewport(3, 4, 100, 90);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    glDepthMask(GL_FALSE);
    for (unsigned source : {topLeft, bottomRight}) {
        blur->run(source, false);
        EXPECT_EQ(blur->result(), blur->resultTexture(2));
        float cx, cy;
        centre(texels(blur->result(), blur->width(), blur->height()), blur->width(), blur->height(), cx, cy);
        if (source == topLeft) {
            EXPECT_LT(cx, 0.3f);
            EXPECT_GT(cy, 0.7f) << "the block stays at the top";
        } else {
            EXPECT_GT(cx, 0.7f);
            EXPECT_LT(cy, 0.3f) << "the block stays at the bottom";
        }
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 3);
    EXPECT_EQ(viewport[1], 4);
    EXPECT_EQ(viewport[2], 100);
    EXPECT_EQ(viewport[3], 90);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites) << "depth writes are on after a run";
    glDeleteTextures(1, &topLeft);
    glDeleteTextures(1, &bottomRight);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(EffectsTest, GlowBrightensAroundItsPartAndIsBlackedOutByAPartInFront) {
    DemoController* c = start();
    c->update(100.0f, 50.0f);
    c->render(100.0f, 50.0f);
    const int gw = kW / 4, gh = kH / 4;
    const std::vector<unsigned char> glow = texels(c->frame()->glowTexture()->glName(), gw, gh);
    const std::vector<unsigned char> withLamp = texels(c->frame()->sceneColorTexture()->glName(), kW, kH);
    // The lamp's brightest texel in the glow texture.
    size_t lamp = 0;
    for (size_t i = 0; i < glow.size(); i += 4)
        if (glow[i] + glow[i + 1] > glow[lamp] + glow[lamp + 1]) lamp = i;
    ASSERT_GT(glow[lamp] + glow[lamp + 1], 200) << "the lamp glows";
    const int lx = static_cast<int>(lamp / 4) % gw, ly = static_cast<int>(lamp / 4) / gw;

    // Without the lamp the picture around it is darker: the halo reaches past the lamp.
    MeshPart* lampPart = c->frame()->partLists().glow.front();
    lampPart->visible = false;
    c->render(100.0f, 50.0f);
    const std::vector<unsigned char> withoutLamp = texels(c->frame()->sceneColorTexture()->glName(), kW, kH);
    int brighter = 0;
    for (int dy = -24; dy <= 24; dy += 4)
        for (int dx = -24; dx <= 24; dx += 4) {
            const int x = lx * 4 + dx, y = ly * 4 + dy;
            if (x < 0 || y < 0 || x >= kW || y >= kH) continue;
            const size_t i = static_cast<size_t>((y * kW + x) * 4);
            if (withLamp[i + 1] > withoutLamp[i + 1] + 8) ++brighter;
        }
    EXPECT_GT(brighter, 60);
    lampPart->visible = true;

    // The crate moved between the eye and the lamp, made tall enough to hide it.
    Mesh* crate = nullptr;
    for (MeshPart* part : c->frame()->partLists().nonGlow)
        if (part->mesh->name == "crate") crate = part->mesh;
    ASSERT_NE(crate, nullptr);
    const float occluder[16] = {2, 0, 0, 0, 0, 6, 0, 0, 0, 0, 2, 0, 1.75f, 5.25f - 15.0f, 4.25f, 1};
    std::copy(occluder, occluder + 16, crate->matrix);
    c->render(100.0f, 50.0f);
    const std::vector<unsigned char> hidden = texels(c->frame()->glowTexture()->glName(), gw, gh);
    EXPECT_LT(hidden[lamp] + hidden[lamp + 1], 10) << "a non-glow part in front blacks the glow out";
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

// A material the light adds nothing to skips the lighting work and looks the same: the glass
// (blended) and the textured floor with no diffuse or specular colour, drawn lit (a specular
// level too small to show) and unlit.
TEST_F(EffectsTest, MaterialsTheLightAddsNothingToDrawTheSameUnlit) {
    TestSceneOptions options;
    options.floorTexture = true;
    DemoController* c = start(options);
    Effect* glowShadow = DemoContent::instance()->find<Effect>("std_lighting_glow_shadow");
    ASSERT_NE(glowShadow, nullptr);
    Material* glass = DemoContent::instance()->find<Material>("glass");
    Material* floor = DemoContent::instance()->find<Material>("floor");
    ASSERT_TRUE(glass && floor);
    auto frame = [&] {  // the same moment each time, replayed from the start
        const float dt = c->seek(100.0f);
        c->update(100.0f, dt);
        c->render(100.0f, dt);
        return texels(c->frame()->sceneColorTexture()->glName(), kW, kH);
    };
    const std::vector<unsigned char> lit = frame();
    for (Material* m : {glass, floor}) {
        std::fill(m->diffuse, m->diffuse + 3, 0.0f);
        std::fill(m->specular, m->specular + 3, 0.0f);
        m->specularLevel = 1e-30f;
    }
    EXPECT_EQ(litTechnique(glowShadow, glass, "_GlowShadow"), "BlendNoTexTech_GlowShadow");
    const std::vector<unsigned char> ambientOnly = frame();
    for (Material* m : {glass, floor}) m->specularLevel = 0.0f;
    EXPECT_EQ(litTechnique(glowShadow, glass, "_GlowShadow"), "UnlitBlendNoTexTech_GlowShadow");
    EXPECT_EQ(litTechnique(glowShadow, floor, "_GlowShadow"), "UnlitDiffTexTech_GlowShadow");
    const std::vector<unsigned char> unlit = frame();
    int changed = 0, worst = 0;
    for (size_t i = 0; i < lit.size(); ++i) {
        changed += lit[i] != ambientOnly[i];
        worst = std::max(worst, std::abs(unlit[i] - ambientOnly[i]));
    }
    EXPECT_GT(changed, kW * kH / 10) << "the two parts cover a good part of the picture";
    EXPECT_LE(worst, 1);
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

TEST_F(EffectsTest, BelieveScreenCoverCursorAndTimeWindow) {
    DemoController* c = start();
    BelieveScreen& screen = c->frame()->effects().believeScreen();
    c->update(200000.0f, 50.0f);
    c->render(200000.0f, 50.0f);
    EXPECT_EQ(screen.cursor().timer, 0.0f) << "200000 ms is outside the window";
    c->update(200000.5f, 50.0f);
    c->render(200000.5f, 50.0f);
    EXPECT_EQ(screen.cursor().timer, 50.0f) << "200000.5 ms is inside";

    // n = 0: black from x 0 to 722 on the text line, the image from 723 on; no cursor yet.
    const std::vector<unsigned char> picture = texels(screen.screenTexture(), 800, 600);
    auto pixel = [&](int x, int y) { return &picture[static_cast<size_t>((y * 800 + x) * 4)]; };
    for (int x : {0, 400, 712, 722}) EXPECT_LT(pixel(x, 80)[0], 10) << x;
    EXPECT_GT(pixel(723, 80)[0], 200);
    EXPECT_GT(pixel(723, 80)[1], 200) << "the yellow first image";
    EXPECT_GT(pixel(400, 300)[0], 200);

    // At 50 ms a frame the cursor flips every tenth frame.
    std::vector<int> flips;
    bool shown = screen.cursor().shown;
    for (int k = 1; k <= 30; ++k) {
        screen.drawScreenPicture(200000.5f + 50.0f * k, 50.0f);
        if (screen.cursor().shown != shown) flips.push_back(k), shown = !shown;
    }
    EXPECT_EQ(flips, (std::vector<int>{9, 19, 29})) << "the first frame above already counted 50 ms";

    // The upper bound is exclusive too (the script shows the first image again from 213 s).
    const float timer = screen.cursor().timer;
    c->update(213718.0f, 50.0f);
    c->render(213718.0f, 50.0f);
    EXPECT_EQ(screen.cursor().timer, timer + 50.0f);
    c->update(213719.0f, 50.0f);
    c->render(213719.0f, 50.0f);
    EXPECT_EQ(screen.cursor().timer, timer + 50.0f);
    EXPECT_EQ(lettersShown(3.9f), 3);
    EXPECT_EQ(lettersShown(-0.5f), 0);
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

// A picture that fails keeps its place: later cues still show their own pictures.
TEST_F(EffectsTest, ABrokenCreditsPictureKeepsItsPlace) {
    TestSceneOptions options;
    options.brokenCreditsPicture = 1;
    LogCapture log;
    DemoController* c = start(options);
    const auto& pictures = c->frame()->effects().credits().pictures();
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_NE(pictures[0], nullptr);
    EXPECT_EQ(pictures[1], nullptr);
    EXPECT_NE(pictures[2], nullptr);
    EXPECT_TRUE(log.contains("credits picture '")) << log.all();
    EXPECT_TRUE(log.contains("c1.jpg' could not be read; its monitor shows black")) << log.all();
    // What the monitors are given to show at each cue: the broken picture's black (no texture),
    // then each later cue its own picture (c2 and c0, greys of 140 and 40), not a neighbour's.
    Effect* screens = c->frame()->effects().credits().effect();
    ASSERT_NE(screens, nullptr);
    const int shownTexture = fx::findParameter(screens->handle(), "creditsTex");
    ASSERT_GE(shownTexture, 0);
    for (const auto& [t, picture] : {std::pair{154000.0f, 1}, std::pair{157000.0f, 2}, std::pair{160000.0f, 0}}) {
        c->update(t, 50.0f);
        c->render(t, 50.0f);
        EXPECT_EQ(c->frame()->effects().credits().schedule().pictureIndex, picture) << t;
        const unsigned shown = screens->handle()->params[static_cast<size_t>(shownTexture)].texture;
        if (!pictures[static_cast<size_t>(picture)]) {
            EXPECT_EQ(shown, 0u) << "the broken picture's cue at " << t << " ms shows another picture";
            continue;
        }
        ASSERT_NE(shown, 0u) << "no picture at the cue at " << t << " ms";
        EXPECT_NEAR(texels(shown, 16, 16)[0], 40 + 50 * picture, 3) << "the cue at " << t << " ms shows another picture";
    }
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

// A second prepare releases what the first one made.
TEST_F(EffectsTest, PreparingTwiceLeaksNoTextures) {
    DemoController* c = start();
    const auto textures = [] {
        int n = 0;
        for (GLuint name = 1; name < 4096; ++name) n += glIsTexture(name) ? 1 : 0;
        return n;
    };
    const int before = textures();
    ASSERT_TRUE(c->prepare());
    EXPECT_EQ(textures(), before);
}

TEST_F(EffectsTest, NoCreditsPicturesStillDrawsTheMonitors) {
    TestSceneOptions options;
    options.creditsPictures = 0;
    DemoController* c = start(options);
    EXPECT_TRUE(c->frame()->effects().credits().pictures().empty());
    for (int k = 1; k <= 3; ++k) {
        c->update(50.0f * k, 50.0f);
        c->render(50.0f * k, 50.0f);
    }
    EXPECT_EQ(c->frame()->effects().credits().schedule().pictureIndex, 0);
    EXPECT_EQ(c->frame()->firstGlError(), "");
}

}  // namespace
