// The whole frame on the test scene against the fill-rate floor: the same number of
// full-screen texture copies as the frame has full-screen passes, in the same run. And the
// film's own frames at moments spread over it (the generated archive), per pass.
//   xvfb-run -a env LIBGL_ALWAYS_SOFTWARE=1 ./bench/render/render_bench
//   xvfb-run -a env LIBGL_ALWAYS_SOFTWARE=1 ./bench/render/render_bench --benchmark_filter=Film
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>

#include "app/controller.h"
#include "app/startup.h"
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
            drawFullscreenTexture(c->frame()->sceneColorTexture()->glName(), c->width(), c->height());
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

// The film's moments: the head with discharges, the conveyor, the gears, the hall, the credits,
// the believe screen, the end.
const float kFilmMoments[] = {9000.0f, 65000.0f, 90000.0f, 130000.0f, 157300.0f, 211000.0f, 219000.0f};

// Frames of the generated film from a moment on (replayed to it first), with the time of each
// pass, against the same run's full-screen copy: "copy ms" is one copy of the window.
void BM_FilmFramePasses(benchmark::State& state) {
    StartupDesc desc;
    desc.width = static_cast<int>(state.range(0));
    desc.height = static_cast<int>(state.range(1));
    desc.headless = true;
    desc.archive = VOLTARESCA_FILM_ARCHIVE;
    std::string reason;
    std::unique_ptr<DemoStart> run = startDemo(desc, reason);
    if (!run) {
        state.SkipWithError(("the film didn't start: " + reason).c_str());
        return;
    }
    DemoController& c = run->controller();
    float t = kFilmMoments[state.range(2)];
    const float dt = c.seek(t);
    c.update(t, dt);
    c.render(t, dt);
    std::map<std::string, double> seconds;
    int64_t last = 0;
    const double frequency = static_cast<double>(platform::counterFrequency());
    c.frame()->setPassObserver([&](const char* pass) {
        glFinish();
        const int64_t now = platform::counter();
        seconds[pass] += static_cast<double>(now - last) / frequency;
        last = now;
    });
    for (auto _ : state) {
        t += 33.0f;
        c.update(t, 33.0f);
        glFinish();
        last = platform::counter();
        c.render(t, 33.0f);
        glFinish();
    }
    c.frame()->setPassObserver(nullptr);
    const int64_t copies = platform::counter();
    for (int k = 0; k < 20; ++k) drawFullscreenTexture(c.frame()->sceneColorTexture()->glName(), c.width(), c.height());
    glFinish();
    state.counters["copy ms"] = static_cast<double>(platform::counter() - copies) / frequency * 1000.0 / 20.0;
    for (const auto& [pass, total] : seconds)
        state.counters[pass + " ms"] = total * 1000.0 / static_cast<double>(state.iterations());
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
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
BENCHMARK(BM_FilmFramePasses)
    ->ArgsProduct({{640}, {360}, benchmark::CreateDenseRange(0, 6, 1)})
    ->Args({1280, 720, 0})->Args({1280, 720, 3})->Args({1280, 720, 5})
    ->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

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
