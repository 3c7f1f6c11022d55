#include "support/gl_test.h"

#include "app/controller.h"
#include "gl/gl_name.h"
#include "platform/platform.h"

platform::Window* GLTest::window_ = nullptr;

void GLTest::SetUpTestSuite() {
    if (window_) return;
    platform::WindowDesc desc;
    desc.title = "voltaresca test";
    desc.width = kWidth;
    desc.height = kHeight;
    desc.hidden = true;
    window_ = platform::createWindow(desc);
}

void GLTest::TearDownTestSuite() {
    if (window_) glContextEnds();
    platform::destroyWindow(window_);
    window_ = nullptr;
}

void GLTest::SetUp() {
    ASSERT_NE(window_, nullptr) << "no GL window: " << platform::lastError()
                                << " (run the tests under xvfb-run, or set SDL_VIDEODRIVER)";
    ASSERT_TRUE(loadGLExtensions()) << "the GL driver lacks an extension entry point";
    glViewport(0, 0, kWidth, kHeight);
    while (glGetError() != GL_NO_ERROR) {
    }
}

void GLTest::TearDown() {
    if (window_) EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

void readEachFrame(DemoController& controller, int width, int height, std::vector<unsigned char>& pixels) {
    pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    controller.setBeforeSwap([&pixels, width, height] {
        glReadBuffer(GL_BACK);
        pixels = GLTest::readPixels(0, 0, width, height);
    });
}

std::vector<unsigned char> GLTest::readPixels(int x, int y, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
