#include "render/believe_screen.h"

#include <algorithm>

#include "anim/properties.h"
#include "gl/gl.h"
#include "gl/render_target.h"
#include "assets/content.h"
#include "assets/model.h"
#include "assets/texture.h"

namespace {

const char* const kImageNames[BelieveScreen::kImages] = {"believe", "believe_we", "believe_believe", "believe_in",
                                                        "believe_you"};
// The text line's right end and its rows in the picture.
constexpr float kLineEnd = 723.0f;

float trackValue(const AnimProperty* property, float t) {
    if (!property) return 0.0f;
    if (property->floatProvider) return property->floatProvider->valueAt(t);
    if (property->intProvider) return static_cast<float>(property->intProvider->valueAt(t));
    return 0.0f;
}

int trackInt(const AnimProperty* property, float t) {
    if (property && property->intProvider) return property->intProvider->valueAt(t);
    return truncateToInt(trackValue(property, t));
}

void quad(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3) {
    glBegin(GL_QUADS);
    glVertex2f(x0, y0), glVertex2f(x1, y1), glVertex2f(x2, y2), glVertex2f(x3, y3);
    glEnd();
}

}  // namespace

int lettersShown(float letters) { return std::max(truncateToInt(letters), 0); }

void BelieveScreen::create(DemoContent& content, PropertyRegistry& properties) {
    // The old objects go before the new ones are made.
    target_.reset();
    screenTexture_.reset();
    depthTexture_.reset();
    model_ = content.find<Model>("believe_screen");
    for (int i = 0; i < kImages; ++i) images_[i] = content.find<Texture>(kImageNames[i]);
    letters_ = properties.findTrack("believe_screen.letters");
    index_ = properties.findTrack("believe_screen.screen_index");
    screenTexture_ = createColorTexture(kWidth, kHeight, GL_LINEAR);
    depthTexture_ = createDepthTexture(kWidth, kHeight);
    target_ = createRenderTarget(kWidth, kHeight);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target_->framebuffer.get());
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, screenTexture_.get(), 0);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, depthTexture_.get(), 0);
    // A dark monitor until the first picture: a texture made without pixels holds anything.
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT);
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    cursor_ = CursorBlink();
}

void BelieveScreen::drawScreenPicture(float t, float dt) {
    if (!target_) return;
    glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, kWidth, 0, kHeight);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, kWidth, kHeight);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDepthMask(GL_FALSE);
    bindRenderTarget(*target_, "the believe screen's target");

    // The script must keep the index within the five images; anything else shows the nearest.
    const int index = std::clamp(trackInt(index_, t), 0, kImages - 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 1.0f);
    if (images_[index]) {
        // Turned by 180 degrees here; the monitor's texture coordinates turn it back.
        glBindTexture(GL_TEXTURE_2D, images_[index]->glName());
        glBegin(GL_QUADS);
        glTexCoord2i(0, 1), glVertex2f(800.0f, 0.0f);
        glTexCoord2i(0, 0), glVertex2f(800.0f, 600.0f);
        glTexCoord2i(1, 0), glVertex2f(0.0f, 600.0f);
        glTexCoord2i(1, 1), glVertex2f(0.0f, 0.0f);
        glEnd();
    }

    // The black cover hides the part of the line not yet revealed.
    const float edge = kLineEnd - static_cast<float>(lettersShown(trackValue(letters_, t)));
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.0f, 0.0f, 0.0f);
    quad(edge, 70.0f, 0.0f, 70.0f, 0.0f, 96.0f, edge, 96.0f);
    if (index == 0) {
        cursor_.advance(dt);
        if (cursor_.shown) {
            glColor3f(0.0f, 1.0f, 0.0f);
            quad(edge, 97.0f, edge - 10.0f, 97.0f, edge - 10.0f, 70.0f, edge, 70.0f);
        }
    }

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDepthMask(GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopAttrib();
}

void BelieveScreen::drawScreenModel(const float* view, const float* projection) {
    if (!model_) return;
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view);
    glBindTexture(GL_TEXTURE_2D, screenTexture_.get());
    glColor3f(1.0f, 1.0f, 1.0f);
    // The model's vertices are world coordinates: its mesh transform is not applied.
    for (Mesh* mesh : model_->meshes)
        for (MeshPart* part : mesh->parts)
            if (part->visible) drawPartSurface(part);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopAttrib();
}
