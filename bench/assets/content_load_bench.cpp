// The controller's content load against the floor of the same work without GL: decoding the
// same pictures and reading the same model files. Run under a display (xvfb-run -a).
//
// Sizes come from the environment so that slow machines can scale down:
// VOLTARESCA_BENCH_TEXTURES (default 200, 256 x 256 each, half PNG and half JPEG) and
// VOLTARESCA_BENCH_MODELS (default 20, 50 000 triangles each in 5 meshes).
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/random.h"
#include "app/controller.h"
#include "formats/geo_writer.h"
#include "assets/image.h"
#include "assets/texture.h"
#include "platform/platform.h"
#include "support/pictures.h"

namespace {

int envCount(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Data {
    std::string root;       // private folder, removed at exit
    std::string directory;  // the data directory, ending in a separator
    std::vector<std::string> pictures;
    std::vector<std::string> models;

    Data() {
        root = platform::makePrivateDirectory(platform::tempDirectory(), "voltaresca-bench-");
        directory = root + "voltaresca_data/";
        for (const char* folder : {"", "textures/", "models/", "materials/"})
            std::filesystem::create_directories(directory + folder);

        Random random(7);
        const int textures = envCount("VOLTARESCA_BENCH_TEXTURES", 200);
        const int size = 256;
        for (int i = 0; i < textures; ++i) {
            std::vector<unsigned char> pixels(static_cast<size_t>(size) * size * 3);
            for (size_t p = 0; p < pixels.size(); ++p)
                pixels[p] = static_cast<unsigned char>((p / 3 % size) ^ (p / 3 / size) ^ (random.next() & 15));
            const bool png = i % 2 == 0;
            const std::string name = i == 0 ? "mask" : "tex" + std::to_string(i);
            const std::string path = directory + "textures/" + name + (png ? ".png" : ".jpg");
            writeFile(path, png ? encodePng(size, size, PNG_FORMAT_RGB, pixels) : encodeJpeg(size, size, 3, pixels));
            pictures.push_back(path);
        }
        writeFile(directory + "materials/steel.mat", "<M Name=\"steel\"><P Type=\"Glossiness\" Value=\"0.5\"/></M>");

        const char* named[] = {"winda", "factory", "wheels", "head_body", "head_eyes", "credits"};
        const int modelCount = envCount("VOLTARESCA_BENCH_MODELS", 20);
        for (int m = 0; m < modelCount; ++m) {
            std::vector<GeoMesh> meshes;
            for (int k = 0; k < 5; ++k) {
                GeoMesh mesh{m * 10 + k, "mesh" + std::to_string(k), {}};
                GeoPart part{"steel", {}};
                part.vertices.resize(10000 * 3);
                for (GeoVertex& v : part.vertices) {
                    for (float* f : {&v.position.x, &v.position.y, &v.position.z})
                        *f = static_cast<float>(random.next()) / 327.67f;
                    v.normal = sm::Vec3(0.0f, 0.0f, 1.0f);
                    v.aux = sm::Vec3(1.0f, 0.0f, 0.0f);
                    v.uv[0] = v.uv[1] = 0.5f;
                }
                mesh.parts.push_back(std::move(part));
                meshes.push_back(std::move(mesh));
            }
            const std::string name = m < 6 ? named[m] : "model" + std::to_string(m);
            const std::string path = directory + "models/" + name + ".geo";
            if (!writeGeo(path, meshes)) std::abort();
            models.push_back(path);
        }
    }
    ~Data() { platform::removeTree(root); }
};

Data& data() {
    static Data instance;
    return instance;
}

void BM_LoadContent(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        state.PauseTiming();
        DemoController* controller = DemoController::instance();
        if (!controller->init(RunMode::Demo, 320, 240, 32, 60, false)) {
            state.SkipWithError("no GL window (run under xvfb-run -a)");
            DemoController::destroyInstance();
            return;
        }
        state.ResumeTiming();
        const bool loaded = controller->loadContent(d.directory);
        state.PauseTiming();
        if (!loaded) state.SkipWithError("loadContent failed");
        controller->shutdown();
        DemoController::destroyInstance();
        state.ResumeTiming();
    }
}

// The registry's pass alone, in the same window but without the loading screen's redraws.
void BM_RegistryLoadWithoutScreen(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        state.PauseTiming();
        DemoController* controller = DemoController::instance();
        if (!controller->init(RunMode::Demo, 320, 240, 32, 60, false)) {
            state.SkipWithError("no GL window (run under xvfb-run -a)");
            DemoController::destroyInstance();
            return;
        }
        state.ResumeTiming();
        const bool loaded = DemoContent::instance()->load(d.directory, nullptr);
        state.PauseTiming();
        if (!loaded) state.SkipWithError("load failed");
        controller->shutdown();
        DemoController::destroyInstance();
        state.ResumeTiming();
    }
}

// The same decoding and file reading without any GL work.
void BM_DecodeAndReadFloor(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        size_t bytes = 0;
        for (const std::string& path : d.pictures) {
            DecodedImage image;
            const bool ok = decodePicture(path, image);
            if (!ok) state.SkipWithError("decode failed");
            bytes += static_cast<size_t>(image.width) * image.height;
            releasePixels(image);
        }
        for (const std::string& path : d.models) {
            FILE* file = std::fopen(path.c_str(), "rb");
            std::fseek(file, 0, SEEK_END);
            std::vector<unsigned char> buffer(static_cast<size_t>(std::ftell(file)));
            std::fseek(file, 0, SEEK_SET);
            bytes += std::fread(buffer.data(), 1, buffer.size(), file);
            std::fclose(file);
            benchmark::DoNotOptimize(buffer.data());
        }
        benchmark::DoNotOptimize(bytes);
    }
}

BENCHMARK(BM_DecodeAndReadFloor)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RegistryLoadWithoutScreen)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LoadContent)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
