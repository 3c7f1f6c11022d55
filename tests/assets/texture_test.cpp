#include <png.h>
#if defined(__GLIBC__)
#include <pthread.h>
#endif
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>

#include "assets/image.h"
#include "assets/picture_prefetch.h"
#include "assets/prefetch.h"
#include "assets/texture.h"
#include "platform/platform.h"
#include "support/gl_test.h"
#include "support/log_capture.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace {

class TextureTest : public GLTest {
protected:
    std::unique_ptr<Texture> load(const std::string& relative, const std::string& bytes) {
        const std::string path = dir.write(relative, bytes);
        return std::unique_ptr<Texture>(static_cast<Texture*>(loader.load(path.c_str(), nullptr)));
    }
    static GLint internalFormat(const Texture& texture) {
        GLint format = 0;
        glBindTexture(GL_TEXTURE_2D, texture.glName());
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        return format;
    }
    // Level 0 read back as RGBA, bottom row first.
    static std::vector<unsigned char> level0(const Texture& texture) {
        std::vector<unsigned char> pixels(static_cast<size_t>(texture.width) * texture.height * 4);
        glBindTexture(GL_TEXTURE_2D, texture.glName());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    TempDir dir;
    TextureLoader loader;
};

// 2 x 2, top row red, bottom row blue.
const std::vector<unsigned char> kRedOverBlue = {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255};

TEST_F(TextureTest, RgbPngReachesGlBottomRowFirst) {
    const std::string path = dir.write("t/rb.png", encodePng(2, 2, PNG_FORMAT_RGB, kRedOverBlue));
    DecodedImage image;
    ASSERT_TRUE(decodePng(path, image));
    const std::vector<unsigned char> first(image.pixels, image.pixels + 6);
    EXPECT_EQ(first, (std::vector<unsigned char>{0, 0, 255, 0, 0, 255}));
    releasePixels(image);
    releasePixels(image);  // harmless on an empty image

    auto texture = load("t/rb2.png", encodePng(2, 2, PNG_FORMAT_RGB, kRedOverBlue));
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->bitsPerPixel, 24);
    EXPECT_EQ(internalFormat(*texture), GL_RGB);
    const auto pixels = level0(*texture);
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[2], 255);  // row 0 (t = 0) is the bottom, blue row
    EXPECT_EQ(pixels[8], 255);  // row 1 is red
    EXPECT_EQ(pixels[10], 0);
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(TextureTest, EachKindOfPictureGetsATableFormat) {
    const std::vector<unsigned char> grey = {10, 20, 30, 40};
    auto greyTexture = load("t/grey.png", encodePng(2, 2, PNG_FORMAT_GRAY, grey));
    ASSERT_TRUE(greyTexture);
    EXPECT_EQ(greyTexture->bitsPerPixel, 8);
    EXPECT_EQ(internalFormat(*greyTexture), GL_ALPHA);
    EXPECT_EQ(level0(*greyTexture)[3], 30);  // grey becomes alpha; bottom-left is the third value

    const std::vector<unsigned char> rgba(16, 200);
    auto rgbaTexture = load("t/rgba.png", encodePng(2, 2, PNG_FORMAT_RGBA, rgba));
    ASSERT_TRUE(rgbaTexture);
    EXPECT_EQ(rgbaTexture->bitsPerPixel, 32);
    EXPECT_EQ(internalFormat(*rgbaTexture), GL_RGBA);

    // Conversions: grey + alpha to RGBA, palette to RGB, 16-bit to 8-bit, grey JPEG to RGB.
    auto ga = load("t/ga.png", encodePng(2, 2, PNG_FORMAT_GA, std::vector<unsigned char>(8, 90)));
    ASSERT_TRUE(ga);
    EXPECT_EQ(ga->bitsPerPixel, 32);
    auto palette = load("t/pal.png", encodePalettePng(2, 2, {255, 0, 0, 0, 0, 255}, {0, 0, 1, 1}));
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette->bitsPerPixel, 24);
    EXPECT_EQ(level0(*palette)[2], 255);  // bottom row is palette entry 1, blue
    auto wide = load("t/wide.png", encodePng(2, 2, PNG_FORMAT_RGB, kRedOverBlue, true));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->bitsPerPixel, 24);
    EXPECT_EQ(level0(*wide)[8], 255);
    auto jpeg = load("t/grey.jpg", encodeJpeg(8, 8, 1, std::vector<unsigned char>(64, 128)));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->bitsPerPixel, 24);
    EXPECT_EQ(internalFormat(*jpeg), GL_RGB);
    EXPECT_NEAR(level0(*jpeg)[1], 128, 2);
}

// `png` with a chunk of `type` and `data` inserted before the chunk named `before`.
std::string withChunk(const std::string& png, const char* type, const std::string& data, const char* before) {
    std::string chunk;
    for (int k = 3; k >= 0; --k) chunk += static_cast<char>((data.size() >> (8 * k)) & 0xff);
    const std::string body = std::string(type, 4) + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    chunk += body;
    for (int k = 3; k >= 0; --k) chunk += static_cast<char>((crc >> (8 * k)) & 0xff);
    const size_t at = png.find(before) - 4;
    return png.substr(0, at) + chunk + png.substr(at);
}

std::vector<unsigned char> decoded(const std::string& path, int& bitsPerPixel) {
    DecodedImage image;
    if (!decodePng(path, image)) return {};
    bitsPerPixel = image.bitsPerPixel;
    std::vector<unsigned char> bytes(image.pixels, image.pixels + image.width * image.height * image.bitsPerPixel / 8);
    releasePixels(image);
    return bytes;
}

// The bytes come out as the file stores them: no gamma conversion, no alpha made from tRNS.
TEST(DecodePng, BytesAsStoredWhateverTheColourChunks) {
    TempDir dir;
    const std::vector<unsigned char> grey = {40, 80, 120, 200};
    int bpp = 0;
    const std::string linear = withChunk(encodePng(2, 2, PNG_FORMAT_GRAY, grey), "gAMA", std::string("\0\x01\x86\xa0", 4), "IDAT");
    EXPECT_EQ(decoded(dir.write("gamma.png", linear), bpp), (std::vector<unsigned char>{120, 200, 40, 80}));
    EXPECT_EQ(bpp, 8);
    const std::string transparent =
        withChunk(encodePalettePng(2, 2, {255, 0, 0, 0, 0, 255}, {0, 0, 1, 1}), "tRNS", std::string(1, '\0'), "IDAT");
    EXPECT_EQ(decoded(dir.write("trns.png", transparent), bpp), (std::vector<unsigned char>{0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 0, 0}));
    EXPECT_EQ(bpp, 24);
    // 16-bit samples keep their high byte: 64 x 257 is not read as linear light.
    const std::vector<unsigned char> dim = {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64};
    EXPECT_EQ(decoded(dir.write("wide.png", encodePng(2, 2, PNG_FORMAT_RGB, dim, true)), bpp), dim);
}

TEST(DecodePictures, DamagedButReadableOnesAreShownWithAWarning) {
    TempDir dir;
    LogCapture log;
    std::string png = encodePng(2, 2, PNG_FORMAT_RGB, kRedOverBlue);
    png[png.find("sRGB") + 5] ^= 0x55;  // the ancillary chunk's CRC
    DecodedImage image;
    const std::string pngPath = dir.write("bad_crc.png", png);
    ASSERT_TRUE(decodePng(pngPath, image));
    releasePixels(image);
    EXPECT_TRUE(log.contains("warning: picture '" + pngPath + "' is damaged")) << log.all();

    std::vector<unsigned char> noise(64 * 64 * 3);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<unsigned char>(i * 37 % 251);
    const std::string jpeg = encodeJpeg(64, 64, 3, noise);
    const std::string jpegPath = dir.write("cut.jpg", jpeg.substr(0, jpeg.size() / 2));
    ASSERT_TRUE(decodeJpeg(jpegPath, image));
    EXPECT_EQ(image.width, 64);
    releasePixels(image);
    EXPECT_TRUE(log.contains("warning: picture '" + jpegPath + "' is damaged (Premature end of JPEG file)")) << log.all();

    // A header that claims more pixels than a texture holds is refused before anything is made.
    std::string huge = jpeg;
    const size_t frame = huge.find("\xff\xc0");
    ASSERT_NE(frame, std::string::npos);
    huge[frame + 5] = huge[frame + 7] = '\xea';  // 60000 x 60000
    huge[frame + 6] = huge[frame + 8] = '\x60';
    const std::string hugePath = dir.write("huge.jpg", huge);
    EXPECT_FALSE(decodeJpeg(hugePath, image));
    EXPECT_TRUE(log.contains("picture '" + hugePath + "' claims 60000x60000 pixels")) << log.all();
}

// Pictures decoded ahead on worker threads come out as the main thread would decode them, with
// the same log lines in the same places.
TEST(PicturePrefetch, SamePicturesAndLinesInTheOrderTaken) {
    TempDir dir;
    std::vector<unsigned char> noise(64 * 64 * 3);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<unsigned char>(i * 37 % 251);
    const std::string jpeg = encodeJpeg(64, 64, 3, noise);
    std::vector<std::string> paths;
    for (int k = 0; k < 12; ++k) {
        const std::string name = "p" + std::to_string(k);
        if (k % 3 == 0) paths.push_back(dir.write(name + ".png", encodePng(2, 2, PNG_FORMAT_RGB, kRedOverBlue)));
        if (k % 3 == 1) paths.push_back(dir.write(name + ".jpg", jpeg.substr(0, jpeg.size() / 2)));  // a warning
        if (k % 3 == 2) paths.push_back(dir.write(name + ".jpg", "no picture"));                      // an error
    }
    const auto run = [&](bool ahead) {
        LogCapture log;
        std::vector<std::vector<unsigned char>> pictures;
        PicturePrefetch prefetch(ahead ? paths : std::vector<std::string>{}, 2, 3);
        if (ahead) platform::sleepMilliseconds(100);  // the workers decode (and log) ahead first
        for (const std::string& path : paths) {
            MipmappedPicture picture;
            bool decoded = false;
            // Ahead, every listed picture is handed over: one decoded here instead would hide a
            // prefetch that hands nothing over.
            const bool handed = prefetch.take(path, decoded, picture);
            EXPECT_EQ(handed, ahead) << path;
            if (!handed) decoded = decodeMipmapped(path, picture);
            log.write(("taken " + path).c_str());
            pictures.emplace_back();
            const DecodedImage& image = picture.image;
            if (decoded)
                pictures.back().assign(image.pixels, image.pixels + image.width * image.height * image.bitsPerPixel / 8);
            pictures.back().insert(pictures.back().end(), picture.chain.begin(), picture.chain.end());
            releaseMipmapped(picture);
        }
        std::vector<std::string> lines;
        for (const std::string& line : log.lines) lines.push_back(line.substr(line.find(' ') + 1));  // no time
        return std::make_pair(pictures, lines);
    };
    const auto ahead = run(true), here = run(false);
    EXPECT_EQ(ahead.first, here.first);
    EXPECT_EQ(ahead.second, here.second);
    EXPECT_EQ(here.second.size(), 16u);  // 12 "taken" and 4 warnings (the load pass names the failures)
    PicturePrefetch prefetch(paths, 1);
    bool decoded = false;
    MipmappedPicture picture;
    EXPECT_FALSE(prefetch.take(dir.path() + "elsewhere.png", decoded, picture));
}

// Results read ahead, taken with gaps: a path the load pass never asks for (a picture it
// skipped) must not hold the look-ahead back for good, nor leave a later take() waiting for
// ever. A system that starts no thread leaves the work to the caller's thread.
TEST(Prefetch, SkippedPathsAndNoThreads) {
    std::vector<std::string> paths;
    for (int k = 0; k < 40; ++k) paths.push_back("file" + std::to_string(k));
    const auto work = [](const std::string& path, int& out) {
        out = std::stoi(path.substr(4));
        return true;
    };
    const auto takeEveryThird = [&](Prefetch<int>& prefetch) {
        std::vector<int> values;
        for (size_t k = 0; k < paths.size(); k += 3) {
            bool ok = false;
            int value = -1;
            if (prefetch.take(paths[k], ok, value) && ok) values.push_back(value);
        }
        return values;
    };
    std::vector<int> expected;
    for (int k = 0; k < 40; k += 3) expected.push_back(k);
    {
        Prefetch<int> prefetch(paths, work, nullptr, "test", 2, 2);
        auto taken = std::async(std::launch::async, [&] { return takeEveryThird(prefetch); });
        if (taken.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "take() waits for a path the workers never reach";
            std::fflush(stdout);
            std::_Exit(1);  // the waiting thread can't be woken
        }
        EXPECT_EQ(taken.get(), expected);
    }
#if defined(__GLIBC__)
    // Every thread's stack made too big to map: the threads fail to start.
    pthread_attr_t usual, huge;
    ASSERT_EQ(pthread_getattr_default_np(&usual), 0);
    pthread_attr_init(&huge);
    pthread_attr_setstacksize(&huge, (SIZE_MAX / 4) & ~size_t(0xffff));
    ASSERT_EQ(pthread_setattr_default_np(&huge), 0);
    LogCapture log;
    std::unique_ptr<Prefetch<int>> prefetch;
    try {
        prefetch = std::make_unique<Prefetch<int>>(paths, work, nullptr, "test", 2, 2);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "the constructor threw: " << e.what();
    }
    pthread_setattr_default_np(&usual);
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&usual);
    ASSERT_TRUE(prefetch);
    EXPECT_TRUE(log.contains("couldn't start a thread to read test files ahead")) << log.all();
    EXPECT_EQ(takeEveryThird(*prefetch), expected);
#endif
}

TEST(HalvePicture, AveragesBlocksAndClampsAtThinEdges) {
    std::vector<unsigned char> out;
    int w = 0, h = 0;
    // 4 x 2 grey: blocks {0, 10, 20, 30} and {100, 100, 200, 201}.
    halvePicture(std::vector<unsigned char>{0, 10, 100, 100, 20, 30, 200, 201}.data(), 4, 2, 1, out, w, h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(out, (std::vector<unsigned char>{15, 150}));
    // A single column of RGB pixels halves its height only and never reads beside it.
    halvePicture(std::vector<unsigned char>{0, 0, 0, 255, 255, 255, 7, 8, 9, 7, 8, 9}.data(), 1, 4, 3, out, w, h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(out, (std::vector<unsigned char>{128, 128, 128, 7, 8, 9}));
    // 3 x 1 halves to 1 x 1.
    halvePicture(std::vector<unsigned char>{40, 80, 250}.data(), 3, 1, 1, out, w, h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(out, (std::vector<unsigned char>{60}));
}

TEST_F(TextureTest, LoadedPicturesHaveACompleteMipmapChain) {
    // 4 x 2: the chain is 2 x 1 and 1 x 1, the last the mean of red and blue.
    const unsigned char red[3] = {255, 0, 0}, blue[3] = {0, 0, 255};
    std::vector<unsigned char> pixels;
    for (int i = 0; i < 8; ++i) pixels.insert(pixels.end(), i < 4 ? red : blue, (i < 4 ? red : blue) + 3);
    auto texture = load("t/chain.png", encodePng(4, 2, PNG_FORMAT_RGB, pixels));
    ASSERT_TRUE(texture);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(height, 1);
    unsigned char last[4] = {};
    glGetTexImage(GL_TEXTURE_2D, 2, GL_RGBA, GL_UNSIGNED_BYTE, last);
    EXPECT_NEAR(last[0], 128, 1);
    EXPECT_EQ(last[1], 0);
    EXPECT_NEAR(last[2], 128, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, ThirdLastCharacterPicksTheDecoder) {
    EXPECT_TRUE(isPngPath("a/pic.png"));
    EXPECT_TRUE(isPngPath("a/pic.jpeg"));  // "p" of jpeg
    EXPECT_FALSE(isPngPath("a/pic.PNG"));
    EXPECT_FALSE(isPngPath("a/pic.jpg"));
    EXPECT_FALSE(isPngPath("pn"));
    const std::string png = encodePng(2, 2, PNG_FORMAT_RGB, kRedOverBlue);
    EXPECT_TRUE(load("t/a.png", png));
    EXPECT_FALSE(load("t/b.PNG", png));   // sent to the JPEG decoder, which rejects it
    EXPECT_TRUE(load("t/c.jpeg", png)) << "a PNG under .jpeg goes to the PNG decoder";
}

TEST_F(TextureTest, MissingOrBrokenFilesGiveNull) {
    EXPECT_EQ(loader.load((dir.path() + "none.png").c_str(), nullptr), nullptr);
    EXPECT_FALSE(load("t/broken.png", "\x89PNG\r\n\x1a\n garbage"));
    EXPECT_FALSE(load("t/broken.jpg", "\xff\xd8\xff garbage"));
}

// An adopted texture deletes its own name and nothing else; one without a name deletes
// nothing (GL would ignore name 0, so that half guards only against a GL error).
TEST_F(TextureTest, TextureWithoutNameDeletesNothing) {
    GLuint names[2] = {};
    glGenTextures(2, names);
    for (GLuint name : names) glBindTexture(GL_TEXTURE_2D, name);  // a name is a texture once bound
    { Texture adopted(GlTexture(names[0]), 4, 4, 32); }
    EXPECT_FALSE(glIsTexture(names[0]));
    EXPECT_TRUE(glIsTexture(names[1]));
    { Texture nameless(GlTexture(), 4, 4, 32); }
    EXPECT_TRUE(glIsTexture(names[1]));
    glDeleteTextures(1, &names[1]);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
