#include <gtest/gtest.h>

#include <cstring>

#include <memory>
#include <utility>

#include "gl/gl.h"
#include "gl/gl_name.h"
#include "gl/render_target.h"
#include "gl/window.h"
#include "app/gl_setup.h"
#include "platform/platform.h"

namespace {

void openWindow(OpenGLWindow& window) {
    ASSERT_TRUE(window.create(320, 200, 32, 60, false)) << platform::lastError();
    ASSERT_TRUE(loadGLExtensions());
}

// The owner of a GL name deletes it once, when it goes; a moved-from owner holds nothing.
TEST(GlName, DeletesItsNameOnce) {
    OpenGLWindow window;
    openWindow(window);
    GlTexture held = createColorTexture(4, 4, GL_NEAREST);
    const unsigned name = held.get();
    ASSERT_TRUE(glIsTexture(name));
    {
        GlTexture moved = std::move(held);
        held.reset();
        EXPECT_TRUE(glIsTexture(name)) << "the moved-from owner deleted the name";
        EXPECT_EQ(moved.get(), name);
    }
    EXPECT_FALSE(glIsTexture(name)) << "the owner left its name behind";
    std::unique_ptr<RenderTarget> target = createRenderTarget(4, 4);
    const unsigned framebuffer = target->framebuffer.get();
    const unsigned depth = target->depthRenderbuffer.get();
    ASSERT_TRUE(glIsFramebufferEXT(framebuffer));
    target.reset();
    EXPECT_FALSE(glIsFramebufferEXT(framebuffer));
    EXPECT_FALSE(glIsRenderbufferEXT(depth));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Once told that the context has ended, an owner drops its name without a GL call: the
// context here stays, so a deletion would show.
TEST(GlName, MakesNoGlCallAfterItsContextEnded) {
    OpenGLWindow window;
    openWindow(window);
    unsigned texture = 0, framebuffer = 0;
    {
        GlTexture owned = createColorTexture(4, 4, GL_NEAREST);
        std::unique_ptr<RenderTarget> target = createRenderTarget(4, 4);
        texture = owned.get();
        framebuffer = target->framebuffer.get();
        glContextEnds();
    }
    EXPECT_TRUE(glIsTexture(texture)) << "a texture was deleted after its context ended";
    EXPECT_TRUE(glIsFramebufferEXT(framebuffer)) << "a framebuffer was deleted after its context ended";
    // Names taken from now on belong to the living context and are deleted again.
    GlTexture(texture).reset();
    EXPECT_FALSE(glIsTexture(texture));
}

// An owner that outlives its window never touches the names of the next window's context,
// even where they have the same number.
TEST(GlName, OutlivingItsWindowLeavesTheNextContextAlone) {
    GlTexture stale;
    {
        OpenGLWindow first;
        openWindow(first);
        stale = createColorTexture(4, 4, GL_NEAREST);
    }
    OpenGLWindow second;
    openWindow(second);
    GlTexture fresh = createColorTexture(4, 4, GL_NEAREST);
    ASSERT_TRUE(glIsTexture(fresh.get()));
    stale.reset();
    EXPECT_TRUE(glIsTexture(fresh.get())) << "the first window's owner deleted texture " << fresh.get();
}

TEST(OpenGLWindow, CreateAndDestroyTwice) {
    for (int round = 0; round < 2; ++round) {
        OpenGLWindow window;
        ASSERT_TRUE(window.create(320, 200, 32, 60, false)) << platform::lastError();
        EXPECT_EQ(platform::windowTitle(window.handle()), "Voltaresca :: by Quorvex");
        int w = 0, h = 0;
        platform::windowSize(window.handle(), w, h);
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 200);
        window.destroy();
        window.destroy();  // harmless
        EXPECT_EQ(window.handle(), nullptr);
    }
}

TEST(OpenGLWindow, ExtensionsAndDefaults) {
    OpenGLWindow window;
    ASSERT_TRUE(window.create(320, 200, 32, 60, false)) << platform::lastError();
    ASSERT_TRUE(loadGLExtensions());
    EXPECT_EQ(glExtensionCount(), 34);
    EXPECT_EQ(glExtensionsLoaded(), 34);
    EXPECT_STREQ(glExtensionNames()[0], "glBindBufferARB");
    EXPECT_STREQ(glExtensionNames()[33], "glClientActiveTextureARB");

    float projection[16];
    glEnable(GL_CULL_FACE);  // initGLState enables only what it names; nothing else is touched
    initGLState(320, 200, 60.0f, projection);
    EXPECT_NEAR(projection[0], 1.7320509f / 1.6f, 1e-6f);
    EXPECT_EQ(projection[11], -1.0f);

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 200);
    GLint value = 0;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    float m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_EQ(m[0], 1.0f);  // the projection is stored, not loaded
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    float clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[3], 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsList(kFontListBase));
    EXPECT_TRUE(glIsList(kFontListBase + 254));
    glGetIntegerv(GL_LIST_BASE, &value);
    EXPECT_EQ(value, static_cast<GLint>(kFontListBase));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The driver's extension string decides, not the addresses a window system hands out.
TEST(GLExtensions, EachExtensionOfTheEntryPointsIsNamedWhenMissing) {
    const std::string all = "GL_ARB_multitexture GL_ARB_vertex_buffer_object GL_EXT_framebuffer_object GL_ARB_vertex_shader";
    EXPECT_EQ(missingGLExtension(all.c_str()), "");
    EXPECT_EQ(missingGLExtension("GL_ARB_multitexture GL_ARB_vertex_buffer_object GL_ARB_vertex_program")
                  .rfind("GL_EXT_framebuffer_object (for glGenFramebuffersEXT", 0), 0u);
    // A longer name that starts with the wanted one does not count.
    EXPECT_EQ(missingGLExtension("GL_ARB_multitexture_x GL_ARB_vertex_buffer_object GL_EXT_framebuffer_object "
                                 "GL_ARB_vertex_shader")
                  .rfind("GL_ARB_multitexture", 0), 0u);
    EXPECT_EQ(missingGLExtension(nullptr).rfind("GL_ARB_vertex_buffer_object", 0), 0u);
}

}  // namespace
