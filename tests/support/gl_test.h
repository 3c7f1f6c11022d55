// A hidden OpenGL window with the program's extension entry points, shared by the cases of
// one test program. GL tests derive their fixture from GLTest.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "gl/gl.h"

namespace platform {
struct Window;
}
class DemoController;

// Reads every frame the controller presents into `pixels` (RGBA, bottom row first, resized to
// width x height), right before the swap; `pixels` must outlive the controller's frames.
void readEachFrame(DemoController& controller, int width, int height, std::vector<unsigned char>& pixels);

class GLTest : public ::testing::Test {
public:
    static constexpr int kWidth = 256;
    static constexpr int kHeight = 256;

    // Reads back the RGBA pixels of the current read framebuffer, bottom row first.
    static std::vector<unsigned char> readPixels(int x, int y, int width, int height);

protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;  // fails the case on a pending GL error

    static platform::Window* window_;
};
