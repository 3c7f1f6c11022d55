// The whole frame on the test scene against the fill-rate floor: the same number of
// full-screen texture copies as the frame has full-screen passes, in the same run.
//   xvfb-run -a env LIBGL_ALWAYS_SOFTWARE=1 ./bench/render/render_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>

#include "app/controller.h"
#include "gl/draw.h"
#include "gl/gl.h"
#include "gl/window.h"
#include "assets/loading_screen.h"
#include "assets/texture.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "support/test_scene.h"

namespace {

// Full-screen passes of one frame at window size: shadow depth, scene, glow add,
// post-processing, mask (the end image is off in this scene).
constexpr int kFullScreenPasses = 5;

struct Scene {
    TempDir dir;
    DemoController* controller = nullptr;
    Scene(int width, int height) {
        const std::string data = dir.path() + "voltaresca_data/";
        TestSceneOptions options;
        options.firstShotEnd = 1000.0f;
        writeTestScene(data, options);
        controller = DemoController::instance();
        controller->setHeadless(true);
        if (!controller->init(RunMode::Demo, width, height, 32, 60, false) || !controller->loadContent(data) ||
            !controller->prepare())
            controller = nullptr;
    }
    ~Scene() {
        DemoController::instance()->shutdown();
        DemoController::destroyInstance();
    }
};

void finishGl() {
    glFinish();
}

void BM_Frame(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!scene.controller) {
        state.SkipWithError("the scene didn't load");
        return;
    }
    float t = 0.0f;
    for (auto _ : state) {
        t += 33.0f;
        scene.controller->update(t, 33.0f);
        scene.controller->render(t, 33.0f);
        finishGl();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_FullScreenCopies(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!scene.controller) {
        state.SkipWithError("the scene didn't load");
        return;
    }
    DemoController* c = scene.controller;
    for (auto _ : state) {
        for (int k = 0; k < kFullScreenPasses; ++k)
            drawFullscreenTexture(c->frame()->sceneColorTexture()->glName, c->width(), c->height());
        c->window()->swap();
        finishGl();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The frame with a glFinish after every pass, so that each pass's time can be read off the
// counter. The sum is a little above BM_Frame (the extra synchronisation).
void BM_FramePasses(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!scene.controller) {
        state.SkipWithError("the scene didn't load");
        return;
    }
    std::map<std::string, double> seconds;
    int64_t last = 0;
    const double frequency = static_cast<double>(platform::counterFrequency());
    scene.controller->frame()->setPassObserver([&](const char* pass) {
        glFinish();
        const int64_t now = platform::counter();
        seconds[pass] += static_cast<double>(now - last) / frequency;
        last = now;
    });
    float t = 0.0f;
    for (auto _ : state) {
        t += 33.0f;
        scene.controller->update(t, 33.0f);
        glFinish();
        last = platform::counter();
        scene.controller->render(t, 33.0f);
        finishGl();
    }
    scene.controller->frame()->setPassObserver(nullptr);
    for (const auto& [pass, total] : seconds)
        state.counters[pass + " ms"] = total * 1000.0 / static_cast<double>(state.iterations());
}

void BM_Update(benchmark::State& state) {
    Scene scene(640, 360);
    if (!scene.controller) {
        state.SkipWithError("the scene didn't load");
        return;
    }
    float t = 0.0f;
    for (auto _ : state) {
        t += 33.0f;
        scene.controller->update(t, 33.0f);
    }
}

BENCHMARK(BM_Frame)->Args({640, 360})->Args({1280, 720})->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_FramePasses)->Args({640, 360})->Args({1280, 720})->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_FullScreenCopies)->Args({640, 360})->Args({1280, 720})->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Update)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!platform::init()) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::quit();
    return 0;
}
