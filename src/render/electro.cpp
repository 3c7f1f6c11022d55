#include "render/electro.h"

#include <algorithm>

#include "base/random.h"
#include "gl/gl.h"
#include "gl/render_target.h"
#include "assets/effect.h"
#include "assets/model.h"
#include "render/blur.h"
#include "render/frame.h"

const double kPulseTimes[12] = {3, 6, 9, 34.7, 39.7, 43.6, 45.6, 48.6, 53.1, 55, 58.1, 60.7};

namespace {

constexpr int kPulseCount = sizeof kPulseTimes / sizeof kPulseTimes[0];
// The fixed point the discharge comes from; its tail lags the front by 4 units.
const float kElectroSource[4] = {2.591f, 10.673f, -230.606f, 1.0f};
constexpr float kTailLag = 4.0f;

// Time sums are made in double precision and stored as floats.
float at(double seconds) { return static_cast<float>(seconds); }

}  // namespace

void buildEyeGlowTrack(TCBInterpolator<float>& track, Random& random) {
    for (double tau = 8.909; tau < 11.0; tau += 0.2)
        track.addKey(at(tau), static_cast<float>(random.next()) / static_cast<float>(Random::kMax), false);
    track.addKey(at(11.1), 0.05f, true);
    for (double pulse : kPulseTimes) {
        track.addKey(at(pulse - 0.4), 0.05f, false);
        track.addKey(at(pulse), 1.0f, false);
        track.addKey(at(pulse + 0.4), 0.05f, true);
    }
}

void buildElectroRangeTrack(TCBInterpolator<float>& track) {
    for (int i = 0; i < kPulseCount; ++i) {
        track.addKey(at(kPulseTimes[i] - 0.4), 0.0f, false);
        // The last pulse's rise key sits at 4 s: the keys are sorted, so it lands in the first gap.
        const double rise = i + 1 < kPulseCount ? kPulseTimes[i + 1] - 0.6 : 4.0;
        track.addKey(at(rise), 6.0f, true);
    }
}

void setEyeMask(const FrameScene& scene, float eyeGlow, float previous[4]) {
    if (scene.eyeParts.empty()) return;
    float* mask = scene.eyeParts.front()->mesh->colorMask;
    std::copy(mask, mask + 4, previous);
    mask[0] = mask[1] = mask[2] = eyeGlow;
    mask[3] = 1.0f;
}

void renderGlow(const GlowPass& p, const FrameScene& s, const float eyeMask[4], const sm::Vec3& eye,
                const float* view, const float* projection, float electroRange) {
    if (!p.target || !p.lighting) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glViewport(0, 0, p.width, p.height);
        return;
    }
    attachRenderTextures(*p.target, p.texture, 0, "the glow target");
    glViewport(0, 0, p.width / 4, p.height / 4);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    StdLighting& lighting = *p.lighting;
    lighting.drawLit(s.lists.glow, projection, view, eye, eye);
    // Below full opacity the credits take the blended techniques and glow faintly.
    withOpacity(s.creditsParts, 0.2f, [&] { lighting.drawLit(s.creditsParts, projection, view, eye, eye); });
    if (!s.eyeParts.empty()) {
        // The carry step has already set this frame's mask, which the lit eyes of the main pass
        // show; the glow shows the previous frame's, so it is put back for this draw alone.
        float* mask = s.eyeParts.front()->mesh->colorMask;
        float current[4];
        std::copy(mask, mask + 4, current);
        std::copy(eyeMask, eyeMask + 4, mask);
        lighting.drawLit(s.eyeParts, projection, view, eye, eye);
        std::copy(current, current + 4, mask);
    }
    if (s.electro) {
        s.electro->setFloat4("electroSource", kElectroSource[0], kElectroSource[1], kElectroSource[2],
                             kElectroSource[3]);
        s.electro->setFloat("electroRangeFront", electroRange);
        s.electro->setFloat("electroRangeTail", std::max(electroRange - kTailLag, 0.0f));
        StdLighting::drawModelSimple(s.electro, s.headBody, projection, view, eye, eye);
    }
    drawBlack(s.lists.nonGlow, projection, view);
    drawBlack(s.headParts, projection, view);

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(0, 0, p.width, p.height);
    if (p.blur) p.blur->run(p.texture, true);
}

void drawBlack(const PartList& parts, const float* projection, const float* view) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view);
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glColor3f(0.0f, 0.0f, 0.0f);
    glDepthMask(GL_TRUE);
    for (MeshPart* part : parts) {
        if (!part->visible) continue;
        float viewWorld[16];
        sm::multiply(viewWorld, part->mesh->matrix, view);  // the world matrix applies first
        glLoadMatrixf(viewWorld);
        drawPart(part);
    }
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
