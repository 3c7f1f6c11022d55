// Writes the render tests' scene as a data archive, for the capture program and the benchmark:
//   render_test_scene OUT.zip
#include <cstdio>
#include <string>

#include "support/test_scene.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: render_test_scene ARCHIVE [late]\n");
        return 2;
    }
    TestSceneOptions options;
    options.firstShotEnd = 4.0f;
    options.endFrom = 6000.0f;
    // "late": no end image, a second shot that lasts to the credits and the believe screen, and
    // music (a second of silence) for videos.
    if (argc > 2 && std::string(argv[2]) == "late") {
        options.endFrom = 1.0e9f;
        options.secondShotEnd = 300.0f;
        options.music = true;
    }
    if (!writeTestSceneArchive(argv[1], options)) {
        std::fprintf(stderr, "render_test_scene: couldn't write '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
