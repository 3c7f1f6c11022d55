// Small raster kit for the generated pictures: float canvases, tileable noise, FreeType text and
// the calls into the PNG and JPEG writers. Everything is deterministic: the same seed gives the same pixels.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "content/common/seeded_random.h"

namespace content {

struct Rgb {
    float r = 0, g = 0, b = 0;
};
inline Rgb operator*(Rgb c, float s) { return {c.r * s, c.g * s, c.b * s}; }
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb mix(Rgb a, Rgb b, float t) { return a * (1.0f - t) + b * t; }

float clamp01(float v);
float smoothstep(float edge0, float edge1, float v);

// One float per pixel, top row first: heights, masks, text coverage.
struct Field {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    Field() = default;
    Field(int w, int h, float fill = 0.0f)
        : width(w), height(h), values(static_cast<size_t>(w) * h, fill) {}
    float& at(int x, int y) { return values[static_cast<size_t>(y) * width + x]; }
    float at(int x, int y) const { return values[static_cast<size_t>(y) * width + x]; }
    // Reads with the coordinates wrapped around: tileable fields have no edge.
    float wrapped(int x, int y) const;
};

// RGB + alpha, floats 0..1, top row first.
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;  // 4 per pixel

    Canvas() = default;
    Canvas(int w, int h, Rgb fill = {}, float alpha = 1.0f);
    Rgb get(int x, int y) const;
    void set(int x, int y, Rgb c);
    float alpha(int x, int y) const { return pixels[index(x, y) + 3]; }
    void setAlpha(int x, int y, float a) { pixels[index(x, y) + 3] = a; }
    // c over the pixel with coverage a.
    void blend(int x, int y, Rgb c, float a);
    void add(int x, int y, Rgb c);
    size_t index(int x, int y) const { return (static_cast<size_t>(y) * width + x) * 4; }
};

// Tileable gradient noise: `period` cells span the unit square along each axis, so a field
// sampled over u, v in [0, 1) continues seamlessly at its edges.
class TileNoise {
public:
    explicit TileNoise(uint32_t seed);
    // About -1..1.
    float gradient(float u, float v, int periodU, int periodV, int salt = 0) const;
    // Sum of octaves, each twice the frequency and `gain` times the amplitude; about -1..1.
    float fbm(float u, float v, int periodU, int periodV, int octaves, float gain = 0.5f,
              int salt = 0) const;
    // Distances to the nearest and second-nearest feature point, in cell units.
    void cellular(float u, float v, int period, float& f1, float& f2, int salt = 0) const;

private:
    uint32_t hash(int x, int y, int salt) const;
    uint32_t seed_;
};

// Field of fbm over the unit square, tileable. Smooth fields are sampled coarsely and
// interpolated, which keeps large textures cheap.
Field fbmField(const TileNoise& noise, int w, int h, int periodU, int periodV, int octaves,
               float gain = 0.5f, int salt = 0);
// Box blur repeated three times (close to a Gaussian of about `radius` / 1.5 sigma).
void blur(Field& field, int radius, bool wrap);
void blur(Canvas& canvas, int radius, bool wrap);
// Stretches the values to 0..1.
void normalize(Field& field);

// Anti-aliased strokes and discs, drawn with max() into a field; `wrap` repeats them across
// the edges for tileable textures.
void strokeSegment(Field& field, float x0, float y0, float x1, float y1, float radius,
                   float value, bool wrap);
void stampDisc(Field& field, float cx, float cy, float radius, float value, bool wrap);
// A lightning bolt between two points: midpoint displacement, with short side branches.
void strokeBolt(Field& field, SeededRandom& random, float x0, float y0, float x1, float y1,
                float roughness, float radius, int depth, bool branches, bool wrap = false);

// Tangent-space normal map from a height field, RGB bytes: n * 0.5 + 0.5, x along +u (right),
// y along +v (up in the picture), z out of the surface. Differences wrap around.
std::vector<unsigned char> normalMapFromHeight(const Field& height, float strength);

// Text set in a DejaVu font with FreeType. The coverage field is as wide as the text and as
// tall as the font's line; `baseline` is the baseline's row in it.
struct TextBitmap {
    Field coverage;
    int baseline = 0;  // row of the baseline in the coverage
    int originX = 0;   // column of the pen's start in the coverage (glyphs may overhang left)
    int advance = 0;   // pen advance of the whole text, pixels
};
std::string dejavuFontPath(const std::string& fileName);
// Throws std::runtime_error naming the font file when it cannot be opened.
TextBitmap renderText(const std::string& fontFile, int pixelSize, const std::string& utf8Text,
                      float tracking = 0.0f);
// Width in pixels of the text's pen advance.
int textAdvance(const std::string& fontFile, int pixelSize, const std::string& utf8Text,
                float tracking = 0.0f);
// Lays coverage into a field at (left, baseline) with max().
void placeText(Field& field, const TextBitmap& text, int left, int baselineY, float value = 1.0f);

// 8-bit pixels, top row first; `dither` adds up to half a step of fixed noise against banding.
std::vector<unsigned char> toBytes(const Canvas& canvas, int channels, bool dither);
// channels: 1 grey, 3 RGB, 4 RGBA; pixels top row first; marked sRGB. Throws std::runtime_error
// on failure.
std::vector<unsigned char> encodePng(int width, int height, int channels,
                                     const std::vector<unsigned char>& pixels);
// RGB pixels, top row first; quality 1..100, baseline, 4:2:0 chroma, optimised Huffman tables.
// Throws std::runtime_error on failure.
std::vector<unsigned char> encodeJpeg(int width, int height,
                                      const std::vector<unsigned char>& rgb, int quality);

}  // namespace content
