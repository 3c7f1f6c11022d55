#include "assets/loading_screen.h"
#include "assets/texture.h"

#include <memory>

#include "support/gl_target.h"
#include "support/gl_test.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace {

// Draws into a 1024 x 768 framebuffer, the size of a common full-screen mode.
class LoadingScreenTest : public GLTest {
protected:
    static constexpr int W = 1024, H = 768;

    void SetUp() override {
        GLTest::SetUp();
        target = std::make_unique<GlTarget>(W, H);
        ASSERT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
        glClearColor(0, 0, 0, 1);
    }
    void TearDown() override {
        screen.picture.reset();
        target.reset();
        glViewport(0, 0, kWidth, kHeight);
        GLTest::TearDown();
    }
    void draw(int done, int total) {
        screen.done = done;
        screen.total = total;
        const float colour4[4] = {0, 0, 0, 1};
        screen.update(0, 0);
        screen.render(0, 0, nullptr, nullptr, colour4);
        pixels = target->pixels();
    }
    int red(int x, int y) const { return pixels[(static_cast<size_t>(y) * W + x) * 4]; }
    int litCount() const {
        int count = 0;
        for (size_t i = 0; i < pixels.size(); i += 4) count += pixels[i] > 0;
        return count;
    }

    std::unique_ptr<GlTarget> target;
    LoadingScreen screen;
    std::vector<unsigned char> pixels;
};

TEST_F(LoadingScreenTest, BarCoversExactlyItsRectangle) {
    TempDir dir;
    screen.init(dir.path());  // no loader.jpg: the bar alone
    EXPECT_EQ(screen.picture, nullptr);
    EXPECT_EQ(screen.width, W);
    draw(50, 200);
    // x0 = 30, x1 = 30 + 102, y0 = 19, y1 = 28: pixel columns 30..131, rows 19..27.
    EXPECT_NEAR(red(30, 19), 128, 1);  // white at half alpha, added to black
    EXPECT_NEAR(red(131, 27), 128, 1);
    EXPECT_EQ(red(29, 19), 0);
    EXPECT_EQ(red(132, 19), 0);
    EXPECT_EQ(red(30, 18), 0);
    EXPECT_EQ(red(30, 28), 0);
    EXPECT_EQ(litCount(), 102 * 9);
}

TEST_F(LoadingScreenTest, NoBarWithoutProgress) {
    TempDir dir;
    screen.init(dir.path());
    draw(0, 200);
    EXPECT_EQ(litCount(), 0);
    draw(0, 0);
    EXPECT_EQ(litCount(), 0);
    draw(5, 0);  // a total of zero draws no bar rather than dividing by it
    EXPECT_EQ(litCount(), 0);
}

TEST_F(LoadingScreenTest, BarArithmetic) {
    BarRect bar;
    ASSERT_TRUE(progressBar(1024, 768, 50, 200, bar));
    EXPECT_EQ(bar.x0, 30);
    EXPECT_EQ(bar.x1, 132);
    EXPECT_EQ(bar.y0, 19);
    EXPECT_EQ(bar.y1, 28);
    ASSERT_TRUE(progressBar(1024, 768, 13, 10, bar));  // more steps than announced: past 40 %
    EXPECT_GT(bar.x1 - bar.x0, 1024 * 4 / 10);
    EXPECT_FALSE(progressBar(1024, 768, 1, 0, bar));
}

TEST_F(LoadingScreenTest, PictureFillsTheScreenUnderTheBar) {
    TempDir dir;
    dir.write("loader.jpg", encodeJpeg(16, 16, 3, std::vector<unsigned char>(16 * 16 * 3, 60)));
    screen.init(dir.path());
    ASSERT_NE(screen.picture, nullptr);
    draw(200, 200);
    EXPECT_NEAR(red(500, 500), 60, 3);
    EXPECT_NEAR(red(1023, 767), 60, 3);
    EXPECT_NEAR(red(100, 20), 60 + 128, 4);  // additive bar over the picture
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

}  // namespace
