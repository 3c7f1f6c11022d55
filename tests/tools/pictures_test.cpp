#include "content/pictures/pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "assets/image.h"
#include "content/pictures/raster.h"
#include "support/temp_dir.h"

namespace {

using content::PictureFile;

struct Decoded {
    DecodedImage image;
    Decoded() = default;
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
    ~Decoded() { releasePixels(image); }
    int channels() const { return image.bitsPerPixel / 8; }
    // Rows counted from the top of the picture, as it is seen.
    const unsigned char* pixel(int x, int yFromTop) const {
        const int row = image.height - 1 - yFromTop;
        return image.pixels + (static_cast<size_t>(row) * image.width + x) * channels();
    }
};

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Decodes through a file with the program's own decoders, picked by extension as the loader does.
void decode(const TempDir& dir, const std::string& path, const std::vector<unsigned char>& bytes, Decoded& out) {
    const std::string file = dir.write(path, bytes);
    const bool ok = endsWith(path, ".png") ? decodePng(file, out.image) : decodeJpeg(file, out.image);
    ASSERT_TRUE(ok) << path;
}

// Each group of pictures is made once per test program, when a test first needs it.
class PicturesTest : public ::testing::Test {
protected:
    using Files = std::map<std::string, std::vector<unsigned char>>;
    static const Files& materials() {
        static const Files files = [] {
            Files made;
            for (PictureFile& file : content::materialTextures()) made[file.path] = std::move(file.bytes);
            return made;
        }();
        return files;
    }
    static const std::vector<unsigned char>& material(const std::string& path) {
        const auto found = materials().find(path);
        EXPECT_NE(found, materials().end()) << path;
        static const std::vector<unsigned char> none;
        return found == materials().end() ? none : found->second;
    }
    TempDir dir_;
};

const char* const kMaterialTextures[] = {"concrete.jpg", "concrete_bump.png", "painted_metal.jpg",
                                         "painted_metal_bump.png", "brushed_metal.jpg", "rust.jpg",
                                         "rust_bump.png", "rubber.jpg", "rubber_bump.png", "glass.jpg",
                                         "lamp_glow.jpg", "head_metal.jpg"};

TEST_F(PicturesTest, ScreenPicturesDecodeToTheirSizesAndFormats) {
    struct Expected {
        std::string path;
        std::vector<unsigned char> bytes;
        int width, height, bits;
    };
    std::vector<Expected> expected = {
        {"loader.jpg", content::loaderPicture(), 1280, 720, 24},
        {"end.jpg", content::endPicture(), 1280, 720, 24},
        {"mask.png", content::maskPicture(1024, 576), 1024, 576, 32},
    };
    for (int frame = 0; frame < 3; ++frame)
        expected.push_back({"tv_noise.jpg", content::tvNoisePicture(frame), 320, 240, 24});
    for (int index = 0; index < 5; ++index)
        expected.push_back({"believe.png", content::believePicture(index), 800, 600, 24});
    for (const Expected& e : expected) {
        Decoded picture;
        decode(dir_, e.path, e.bytes, picture);
        EXPECT_EQ(picture.image.width, e.width) << e.path;
        EXPECT_EQ(picture.image.height, e.height) << e.path;
        EXPECT_EQ(picture.image.bitsPerPixel, e.bits) << e.path;
    }

    Decoded setup;
    decode(dir_, "setup.png", content::setupPicture(), setup);
    EXPECT_EQ(setup.image.width, 400);
    EXPECT_EQ(setup.image.height, 150);
    EXPECT_EQ(setup.image.bitsPerPixel, 24);
}

TEST_F(PicturesTest, EveryCreditIsAJpegInTheCreditsFolder) {
    int credits = 0;
    for (const PictureFile& credit : content::creditsPictures()) {
        const std::string& path = credit.path;
        ASSERT_EQ(path.rfind("textures/credits/", 0), 0u) << path;
        ASSERT_TRUE(endsWith(path, ".jpg")) << path;
        Decoded picture;
        decode(dir_, path, credit.bytes, picture);
        EXPECT_EQ(picture.image.width, 512);
        EXPECT_EQ(picture.image.height, 384);
        ++credits;
    }
    EXPECT_GE(credits, 6);
    EXPECT_EQ(credits, static_cast<int>(content::kCredits.size()));
}

// Mean absolute difference between neighbouring columns (or rows), inside and across the wrap.
void edgeDifferences(const Decoded& picture, bool columns, double& interior, double& seam) {
    const int w = picture.image.width;
    const int h = picture.image.height;
    const int n = columns ? w : h;
    const int m = columns ? h : w;
    auto at = [&](int i, int j, int c) {
        return static_cast<double>(columns ? picture.pixel(i, j)[c] : picture.pixel(j, i)[c]);
    };
    double inside = 0.0;
    double across = 0.0;
    for (int j = 0; j < m; ++j)
        for (int c = 0; c < picture.channels(); ++c) {
            for (int i = 0; i + 1 < n; ++i) inside += std::abs(at(i, j, c) - at(i + 1, j, c));
            across += std::abs(at(n - 1, j, c) - at(0, j, c));
        }
    interior = inside / (n - 1) / m;
    seam = across / m;
}

// A grey PNG would load as an alpha-only texture; bump maps must hold outward normals.
void expectNormalMap(const Decoded& picture, const std::string& path) {
    ASSERT_EQ(picture.image.bitsPerPixel, 24) << path;
    double sum[3] = {0, 0, 0};
    const size_t count = static_cast<size_t>(picture.image.width) * picture.image.height;
    for (size_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) sum[c] += picture.image.pixels[i * 3 + static_cast<size_t>(c)];
    // A tileable height has no overall slope: x and y average out near zero, z points out.
    EXPECT_NEAR(sum[0] / count, 127.5, 6.0) << path;
    EXPECT_NEAR(sum[1] / count, 127.5, 6.0) << path;
    EXPECT_GT(sum[2] / count, 200.0) << path;
}

TEST_F(PicturesTest, MaterialTexturesTileSeamlesslyAndBumpMapsHoldNormals) {
    for (const char* name : kMaterialTextures) {
        const std::string path = std::string("textures/") + name;
        Decoded picture;
        decode(dir_, path, material(path), picture);
        EXPECT_GE(picture.image.width, 512) << path;
        EXPECT_EQ(picture.image.width, picture.image.height) << path;
        EXPECT_EQ(picture.image.bitsPerPixel, 24) << path;
        for (bool columns : {true, false}) {
            double interior = 0.0;
            double seam = 0.0;
            edgeDifferences(picture, columns, interior, seam);
            // The step across the wrap looks like any step inside the picture.
            EXPECT_LT(seam, interior * 1.6 + 2.0) << path << (columns ? " left/right" : " top/bottom");
        }
        if (endsWith(path, "_bump.png")) expectNormalMap(picture, path);
    }
    EXPECT_EQ(materials().size(), std::size(kMaterialTextures));
}

// Turned textures wrap around their axis without a seam; along v the light fades out toward
// v = 0 (the picture's bottom) and the iris darkens toward its rim (v = 1, the top).
TEST_F(PicturesTest, TurnedTexturesWrapAroundAndChangeAlongTheirLength) {
    std::map<std::string, std::vector<unsigned char>> files;
    for (PictureFile& file : content::turnedTextures()) files[file.path] = std::move(file.bytes);
    ASSERT_EQ(files.size(), 2u);
    Decoded light, iris;
    decode(dir_, "textures/light_falloff.png", files["textures/light_falloff.png"], light);
    decode(dir_, "textures/iris.jpg", files["textures/iris.jpg"], iris);
    ASSERT_EQ(light.image.bitsPerPixel, 32);
    ASSERT_EQ(iris.image.bitsPerPixel, 24);
    for (const Decoded* picture : {&light, &iris}) {
        double interior = 0.0, seam = 0.0;
        edgeDifferences(*picture, true, interior, seam);
        EXPECT_LT(seam, interior * 1.6 + 2.0) << "the seam around the axis shows";
    }
    auto rowMean = [](const Decoded& p, int yFromTop, int channel) {
        double sum = 0;
        for (int x = 0; x < p.image.width; ++x) sum += p.pixel(x, yFromTop)[channel];
        return sum / p.image.width;
    };
    const int h = light.image.height;
    EXPECT_GT(rowMean(light, 0, 3), 200.0);
    EXPECT_LT(rowMean(light, h - 1, 3), 10.0);
    EXPECT_GT(rowMean(light, h / 2, 3), rowMean(light, 3 * h / 4, 3));
    const int ih = iris.image.height;
    EXPECT_GT(rowMean(iris, 7 * ih / 10, 0), 2.0 * rowMean(iris, 0, 0)) << "the rim is not darker than the fibres";
}

TEST_F(PicturesTest, MasksAreBlackWithOpaqueBarsAndAClearCentre) {
    for (int size : {1, 2}) {
        const std::string path = "mask" + std::to_string(size) + ".png";
        Decoded mask;
        decode(dir_, path, content::maskPicture(1024 * size, 576 * size), mask);
        ASSERT_EQ(mask.image.bitsPerPixel, 32);
        const int w = mask.image.width;
        const int h = mask.image.height;
        const int bar = static_cast<int>(content::kLetterboxBar * h);
        for (int x = 0; x < w; x += 7) {
            EXPECT_EQ(mask.pixel(x, 0)[3], 255) << path;
            EXPECT_EQ(mask.pixel(x, bar - 2)[3], 255) << path;
            EXPECT_EQ(mask.pixel(x, h - 1)[3], 255) << path;
            EXPECT_EQ(mask.pixel(x, h - bar + 1)[3], 255) << path;
        }
        EXPECT_EQ(mask.pixel(w / 2, h / 2)[3], 0) << path;
        // The vignette darkens the corners of the picture but never as much as the bars.
        const unsigned char corner = mask.pixel(2, bar + 2)[3];
        EXPECT_GT(corner, 60) << path;
        EXPECT_LT(corner, 255) << path;
        for (int y = 0; y < h; y += 5)
            for (int x = 0; x < w; x += 5) {
                const unsigned char* p = mask.pixel(x, y);
                ASSERT_EQ(p[0] | p[1] | p[2], 0) << path << " at " << x << "," << y;
            }
    }
}

int brightest(const Decoded& picture, int x0, int x1, int y0, int y1) {
    int best = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c) best = std::max(best, static_cast<int>(picture.pixel(x, y)[c]));
    return best;
}

TEST_F(PicturesTest, TypedLineSitsInTheBandTheCoverHides) {
    const std::vector<int> stops = content::believeLetterStops();
    const std::string line = content::kBelieveTypedLine;
    ASSERT_EQ(stops.size(), line.size() + 1);
    EXPECT_TRUE(std::is_sorted(stops.begin(), stops.end()));
    const int lineEnd = content::kBelieveLineLeft + stops.back();
    ASSERT_LT(lineEnd, 800);

    Decoded picture;
    decode(dir_, "believe.png", content::believePicture(0), picture);
    // Text inside the band, nothing of the line above or below it, black after its end.
    EXPECT_GT(brightest(picture, content::kBelieveLineLeft, lineEnd, 70, 97), 200);
    EXPECT_LT(brightest(picture, content::kBelieveLineLeft, 800, 62, 70), 8);
    EXPECT_LT(brightest(picture, content::kBelieveLineLeft, 800, 97, 104), 8);
    EXPECT_LT(brightest(picture, lineEnd + 2, 800, 70, 97), 8);
    // Monospaced: every letter reveals the same width.
    for (size_t i = 1; i < stops.size(); ++i) EXPECT_NEAR(stops[i] - stops[i - 1], stops[1], 1) << i;
}

TEST_F(PicturesTest, SameSeedGivesTheSameBytes) {
    for (const PictureFile& texture : content::materialTextures())
        EXPECT_TRUE(texture.bytes == material(texture.path)) << texture.path;
    EXPECT_EQ(content::setupPicture(3), content::setupPicture(3));
    EXPECT_NE(content::setupPicture(3), content::setupPicture(4));
    const auto a = content::tvNoisePicture(0, 3);
    const auto b = content::tvNoisePicture(1, 3);
    EXPECT_EQ(a, content::tvNoisePicture(0, 3));
    EXPECT_NE(a, b);
}

TEST(Pictures, WritesFilesIntoFoldersAndReportsFailures) {
    TempDir dir;
    content::writePictureFiles({{"textures/credits/x.jpg", {1, 2, 3}}, {"loader.jpg", {4}}}, dir.path());
    EXPECT_EQ(readFile(dir.path() + "textures/credits/x.jpg"), std::string("\x01\x02\x03", 3));
    EXPECT_EQ(readFile(dir.path() + "loader.jpg"), std::string("\x04", 1));
    // A file where a folder should be.
    dir.write("blocked", std::string("x"));
    EXPECT_THROW(content::writePictureFiles({{"blocked/a.png", {1}}}, dir.path()), std::runtime_error);
}

TEST(Pictures, EncodersKeepTheTopRowOnTopAndRejectShortBuffers) {
    TempDir dir;
    // Top row red, bottom row blue: the decoder hands the bottom row first.
    const std::vector<unsigned char> rgb = {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255};
    DecodedImage png;
    ASSERT_TRUE(decodePng(dir.write("a.png", content::encodePng(2, 2, 3, rgb)), png));
    EXPECT_EQ(png.pixels[2], 255);
    EXPECT_EQ(png.pixels[0], 0);
    releasePixels(png);
    std::vector<unsigned char> big;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) big.insert(big.end(), {static_cast<unsigned char>(y < 8 ? 250 : 5), 5, 5});
    DecodedImage jpeg;
    ASSERT_TRUE(decodeJpeg(dir.write("a.jpg", content::encodeJpeg(16, 16, big, 90)), jpeg));
    EXPECT_LT(jpeg.pixels[0], 40);
    EXPECT_GT(jpeg.pixels[(15 * 16) * 3], 200);
    releasePixels(jpeg);

    EXPECT_THROW(content::encodePng(2, 2, 3, {1, 2, 3}), std::runtime_error);
    EXPECT_THROW(content::encodeJpeg(2, 2, {1, 2, 3}, 90), std::runtime_error);
}

}  // namespace

namespace {

TEST(Pictures, ArchiveHoldsEveryPictureTheProgramLooksUp) {
    std::map<std::string, size_t> sizes;
    size_t total = 0;
    for (const PictureFile& file : content::archivePictures()) {
        EXPECT_TRUE(sizes.emplace(file.path, file.bytes.size()).second) << "twice: " << file.path;
        total += file.bytes.size();
    }
    std::vector<std::string> required = {"loader.jpg", "textures/mask.png", "textures/mask_big.png",
                                         "textures/end.jpg", "textures/tv_noise1.jpg", "textures/tv_noise2.jpg",
                                         "textures/tv_noise3.jpg"};
    for (const char* name : content::kBelievePictureNames) required.push_back(std::string("textures/") + name + ".png");
    for (const char* name : kMaterialTextures) required.push_back(std::string("textures/") + name);
    for (const std::string& path : required) EXPECT_EQ(sizes.count(path), 1u) << path;
    size_t credits = 0;
    for (const auto& entry : sizes) credits += entry.first.rfind("textures/credits/", 0) == 0 ? 1 : 0;
    EXPECT_GE(credits, 6u);
    EXPECT_LT(total, 12u * 1024 * 1024);
}

}  // namespace
