#include "content/pictures/raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/png_file.h"
#include "formats/jpeg_writer.h"

namespace content {

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float smoothstep(float edge0, float edge1, float v) {
    const float t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

namespace {
int wrapIndex(int i, int n) {
    const int m = i % n;
    return m < 0 ? m + n : m;
}

uint32_t mixBits(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}
}  // namespace

float Field::wrapped(int x, int y) const { return at(wrapIndex(x, width), wrapIndex(y, height)); }

Canvas::Canvas(int w, int h, Rgb fill, float alpha)
    : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4) {
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = fill.r;
        pixels[i + 1] = fill.g;
        pixels[i + 2] = fill.b;
        pixels[i + 3] = alpha;
    }
}

Rgb Canvas::get(int x, int y) const {
    const size_t i = index(x, y);
    return {pixels[i], pixels[i + 1], pixels[i + 2]};
}

void Canvas::set(int x, int y, Rgb c) {
    const size_t i = index(x, y);
    pixels[i] = c.r;
    pixels[i + 1] = c.g;
    pixels[i + 2] = c.b;
}

void Canvas::blend(int x, int y, Rgb c, float a) {
    if (a <= 0.0f) return;
    set(x, y, mix(get(x, y), c, std::min(a, 1.0f)));
}

void Canvas::add(int x, int y, Rgb c) { set(x, y, get(x, y) + c); }

// ---- noise ----

namespace {
// 256 unit vectors evenly around the circle, x and y interleaved.
const float* gradientDirections() {
    static const std::vector<float> table = [] {
        std::vector<float> t(512);
        for (int i = 0; i < 256; ++i) {
            const double angle = (static_cast<double>(i) + 0.5) * 6.283185307179586 / 256.0;
            t[2 * static_cast<size_t>(i)] = static_cast<float>(std::cos(angle));
            t[2 * static_cast<size_t>(i) + 1] = static_cast<float>(std::sin(angle));
        }
        return t;
    }();
    return table.data();
}
}  // namespace

TileNoise::TileNoise(uint32_t seed) : seed_(mixBits(seed + 0x51ed27u)) {}

uint32_t TileNoise::hash(int x, int y, int salt) const {
    return mixBits(static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                   static_cast<uint32_t>(salt) * 0xcb1ab31fu ^ seed_);
}

float TileNoise::gradient(float u, float v, int periodU, int periodV, int salt) const {
    const float x = u * static_cast<float>(periodU);
    const float y = v * static_cast<float>(periodV);
    const float fx0 = std::floor(x);
    const float fy0 = std::floor(y);
    const int x0 = static_cast<int>(fx0);
    const int y0 = static_cast<int>(fy0);
    const float dx = x - fx0;
    const float dy = y - fy0;
    const float* directions = gradientDirections();
    const int xs[2] = {wrapIndex(x0, periodU), wrapIndex(x0 + 1, periodU)};
    const int ys[2] = {wrapIndex(y0, periodV), wrapIndex(y0 + 1, periodV)};
    auto corner = [&](int cx, int cy, float ox, float oy) {
        const uint32_t h = hash(xs[cx], ys[cy], salt) >> 24;
        return directions[2 * h] * ox + directions[2 * h + 1] * oy;
    };
    const float sx = dx * dx * dx * (dx * (dx * 6.0f - 15.0f) + 10.0f);
    const float sy = dy * dy * dy * (dy * (dy * 6.0f - 15.0f) + 10.0f);
    const float a = corner(0, 0, dx, dy);
    const float b = corner(1, 0, dx - 1.0f, dy);
    const float c = corner(0, 1, dx, dy - 1.0f);
    const float d = corner(1, 1, dx - 1.0f, dy - 1.0f);
    const float top = a + (b - a) * sx;
    const float bottom = c + (d - c) * sx;
    return (top + (bottom - top) * sy) * 1.4142f;
}

float TileNoise::fbm(float u, float v, int periodU, int periodV, int octaves, float gain,
                     int salt) const {
    float sum = 0.0f;
    float amplitude = 1.0f;
    float total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * gradient(u, v, periodU << i, periodV << i, salt * 31 + i);
        total += amplitude;
        amplitude *= gain;
    }
    return sum / total;
}

void TileNoise::cellular(float u, float v, int period, float& f1, float& f2, int salt) const {
    const float x = u * static_cast<float>(period);
    const float y = v * static_cast<float>(period);
    const int cx = static_cast<int>(std::floor(x));
    const int cy = static_cast<int>(std::floor(y));
    f1 = f2 = 1e9f;
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            const uint32_t h = hash(wrapIndex(cx + i, period), wrapIndex(cy + j, period), salt + 7777);
            const float px = static_cast<float>(cx + i) + static_cast<float>(h & 0xffff) / 65536.0f;
            const float py = static_cast<float>(cy + j) + static_cast<float>(h >> 16) / 65536.0f;
            const float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
            if (d < f1) {
                f2 = f1;
                f1 = d;
            } else if (d < f2) {
                f2 = d;
            }
        }
    }
}

namespace {
// The coarsest size that still holds about four samples per cycle of the finest octave, as a
// whole divisor of `size` so that the up-sampled field keeps wrapping.
int sampleCount(int size, int finestPeriod) {
    int count = size;
    while (count % 2 == 0 && count / 2 >= finestPeriod * 4) count /= 2;
    return count;
}
}  // namespace

Field fbmField(const TileNoise& noise, int w, int h, int periodU, int periodV, int octaves,
               float gain, int salt) {
    const int finest = 1 << std::max(0, octaves - 1);
    const int sw = sampleCount(w, periodU * finest);
    const int sh = sampleCount(h, periodV * finest);
    Field coarse(sw, sh);
    for (int y = 0; y < sh; ++y) {
        const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(sh);
        for (int x = 0; x < sw; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(sw);
            coarse.at(x, y) = noise.fbm(u, v, periodU, periodV, octaves, gain, salt);
        }
    }
    if (sw == w && sh == h) return coarse;
    // Bilinear, wrapping, so the field still tiles.
    Field field(w, h);
    for (int y = 0; y < h; ++y) {
        const float fy = (static_cast<float>(y) + 0.5f) * static_cast<float>(sh) / static_cast<float>(h) - 0.5f;
        const int y0 = static_cast<int>(std::floor(fy));
        const float ty = fy - static_cast<float>(y0);
        for (int x = 0; x < w; ++x) {
            const float fx = (static_cast<float>(x) + 0.5f) * static_cast<float>(sw) / static_cast<float>(w) - 0.5f;
            const int x0 = static_cast<int>(std::floor(fx));
            const float tx = fx - static_cast<float>(x0);
            const float top = coarse.wrapped(x0, y0) * (1.0f - tx) + coarse.wrapped(x0 + 1, y0) * tx;
            const float bottom = coarse.wrapped(x0, y0 + 1) * (1.0f - tx) + coarse.wrapped(x0 + 1, y0 + 1) * tx;
            field.at(x, y) = top * (1.0f - ty) + bottom * ty;
        }
    }
    return field;
}

// ---- filters ----

namespace {
// One box pass along a row: `count` values `stride` apart.
void boxPassRow(float* data, int count, size_t stride, int radius, bool wrap, std::vector<float>& scratch) {
    scratch.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) scratch[static_cast<size_t>(i)] = data[static_cast<size_t>(i) * stride];
    auto read = [&](int i) {
        return scratch[static_cast<size_t>(wrap ? wrapIndex(i, count) : std::clamp(i, 0, count - 1))];
    };
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    float sum = 0.0f;
    for (int i = -radius; i <= radius; ++i) sum += read(i);
    for (int i = 0; i < count; ++i) {
        data[static_cast<size_t>(i) * stride] = sum * scale;
        sum += read(i + radius + 1) - read(i - radius);
    }
}

// One box pass down the columns of `height` rows of `rowLength` floats, a whole row at a time.
void boxPassColumns(float* data, size_t rowLength, int height, int radius, bool wrap, std::vector<float>& copy,
                    std::vector<float>& sums) {
    copy.assign(data, data + rowLength * static_cast<size_t>(height));
    auto row = [&](int y) {
        const int r = wrap ? wrapIndex(y, height) : std::clamp(y, 0, height - 1);
        return copy.data() + static_cast<size_t>(r) * rowLength;
    };
    sums.assign(rowLength, 0.0f);
    for (int y = -radius; y <= radius; ++y) {
        const float* in = row(y);
        for (size_t i = 0; i < rowLength; ++i) sums[i] += in[i];
    }
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int y = 0; y < height; ++y) {
        float* out = data + static_cast<size_t>(y) * rowLength;
        const float* entering = row(y + radius + 1);
        const float* leaving = row(y - radius);
        for (size_t i = 0; i < rowLength; ++i) {
            out[i] = sums[i] * scale;
            sums[i] += entering[i] - leaving[i];
        }
    }
}
}  // namespace

void blur(Field& field, int radius, bool wrap) {
    if (radius <= 0 || field.values.empty()) return;
    std::vector<float> scratch, sums;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < field.height; ++y) boxPassRow(&field.at(0, y), field.width, 1, radius, wrap, scratch);
        boxPassColumns(field.values.data(), static_cast<size_t>(field.width), field.height, radius, wrap, scratch, sums);
    }
}

void blur(Canvas& canvas, int radius, bool wrap) {
    if (radius <= 0 || canvas.pixels.empty()) return;
    std::vector<float> scratch, sums;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < canvas.height; ++y)
            for (int c = 0; c < 4; ++c)
                boxPassRow(&canvas.pixels[canvas.index(0, y) + static_cast<size_t>(c)], canvas.width, 4, radius, wrap,
                           scratch);
        boxPassColumns(canvas.pixels.data(), static_cast<size_t>(canvas.width) * 4, canvas.height, radius, wrap,
                       scratch, sums);
    }
}

void normalize(Field& field) {
    if (field.values.empty()) return;
    const auto [lo, hi] = std::minmax_element(field.values.begin(), field.values.end());
    const float low = *lo;
    const float span = *hi - low;
    if (span <= 0.0f) return;
    for (float& v : field.values) v = (v - low) / span;
}

// ---- strokes ----

namespace {
void writeMax(Field& field, int x, int y, float value, bool wrap) {
    if (wrap) {
        x = wrapIndex(x, field.width);
        y = wrapIndex(y, field.height);
    } else if (x < 0 || y < 0 || x >= field.width || y >= field.height) {
        return;
    }
    float& cell = field.at(x, y);
    cell = std::max(cell, value);
}
}  // namespace

void strokeSegment(Field& field, float x0, float y0, float x1, float y1, float radius, float value,
                   bool wrap) {
    const int left = static_cast<int>(std::floor(std::min(x0, x1) - radius - 1.0f));
    const int right = static_cast<int>(std::ceil(std::max(x0, x1) + radius + 1.0f));
    const int top = static_cast<int>(std::floor(std::min(y0, y1) - radius - 1.0f));
    const int bottom = static_cast<int>(std::ceil(std::max(y0, y1) + radius + 1.0f));
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float lengthSq = std::max(dx * dx + dy * dy, 1e-6f);
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const float px = static_cast<float>(x) + 0.5f - x0;
            const float py = static_cast<float>(y) + 0.5f - y0;
            const float t = std::clamp((px * dx + py * dy) / lengthSq, 0.0f, 1.0f);
            const float ex = px - t * dx;
            const float ey = py - t * dy;
            const float coverage = clamp01(radius + 0.5f - std::sqrt(ex * ex + ey * ey));
            if (coverage > 0.0f) writeMax(field, x, y, value * coverage, wrap);
        }
    }
}

void stampDisc(Field& field, float cx, float cy, float radius, float value, bool wrap) {
    strokeSegment(field, cx, cy, cx, cy, radius, value, wrap);
}

namespace {
void bolt(Field& field, SeededRandom& random, float x0, float y0, float x1, float y1, float offset,
          float radius, float value, int depth, bool branches, bool wrap) {
    if (depth <= 0) {
        strokeSegment(field, x0, y0, x1, y1, radius, value, wrap);
        return;
    }
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float shift = random.range(-1.0f, 1.0f) * offset;
    const float mx = (x0 + x1) * 0.5f - dy * shift;
    const float my = (y0 + y1) * 0.5f + dx * shift;
    bolt(field, random, x0, y0, mx, my, offset, radius, value, depth - 1, branches, wrap);
    bolt(field, random, mx, my, x1, y1, offset, radius, value, depth - 1, branches, wrap);
    if (branches && depth >= 3 && random.uniform() < 0.3f) {
        const float angle = random.range(-0.7f, 0.7f);
        const float bx = mx + (dx * std::cos(angle) - dy * std::sin(angle)) * 0.6f;
        const float by = my + (dx * std::sin(angle) + dy * std::cos(angle)) * 0.6f;
        bolt(field, random, mx, my, bx, by, offset, radius * 0.6f, value * 0.6f, depth - 1, false, wrap);
    }
}
}  // namespace

void strokeBolt(Field& field, SeededRandom& random, float x0, float y0, float x1, float y1,
                float roughness, float radius, int depth, bool branches, bool wrap) {
    bolt(field, random, x0, y0, x1, y1, roughness, radius, 1.0f, depth, branches, wrap);
}

std::vector<unsigned char> normalMapFromHeight(const Field& height, float strength) {
    std::vector<unsigned char> rgb(static_cast<size_t>(height.width) * height.height * 3);
    size_t i = 0;
    for (int y = 0; y < height.height; ++y) {
        for (int x = 0; x < height.width; ++x) {
            // Rows grow downwards while v grows upwards.
            const float du = (height.wrapped(x + 1, y) - height.wrapped(x - 1, y)) * 0.5f * strength;
            const float dv = (height.wrapped(x, y - 1) - height.wrapped(x, y + 1)) * 0.5f * strength;
            const float length = std::sqrt(du * du + dv * dv + 1.0f);
            const float n[3] = {-du / length, -dv / length, 1.0f / length};
            for (float c : n) rgb[i++] = static_cast<unsigned char>(std::lround(clamp01(c * 0.5f + 0.5f) * 255.0f));
        }
    }
    return rgb;
}

// ---- text ----

namespace {
std::vector<uint32_t> decodeUtf8(const std::string& text) {
    std::vector<uint32_t> points;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) {
            points.push_back('?');
            ++i;
            continue;
        }
        uint32_t point = extra == 0 ? c : (c & (0x3fu >> extra));
        for (int k = 1; k <= extra; ++k) point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3fu);
        points.push_back(point);
        i += static_cast<size_t>(extra) + 1;
    }
    return points;
}

struct FontFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    FontFace(const std::string& path, int pixelSize) {
        if (FT_Init_FreeType(&library) != 0) throw std::runtime_error("FreeType did not start");
        if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
            FT_Done_FreeType(library);
            throw std::runtime_error("cannot open font '" + path +
                                     "' (install fonts-dejavu-core; scripts/setup does)");
        }
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
    }
    ~FontFace() {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;
};

struct GlyphPlacement {
    FT_UInt index;
    float penX;  // pixels
};

// Pen positions with kerning and tracking; returns the total advance.
float layOut(FontFace& font, const std::vector<uint32_t>& points, float tracking,
             std::vector<GlyphPlacement>& placements) {
    float pen = 0.0f;
    FT_UInt previous = 0;
    for (uint32_t point : points) {
        const FT_UInt index = FT_Get_Char_Index(font.face, point);
        if (previous && index && FT_HAS_KERNING(font.face)) {
            FT_Vector kerning;
            if (FT_Get_Kerning(font.face, previous, index, FT_KERNING_DEFAULT, &kerning) == 0)
                pen += static_cast<float>(kerning.x) / 64.0f;
        }
        placements.push_back({index, pen});
        if (FT_Load_Glyph(font.face, index, FT_LOAD_DEFAULT) == 0)
            pen += static_cast<float>(font.face->glyph->advance.x) / 64.0f + tracking;
        previous = index;
    }
    if (!points.empty()) pen -= tracking;
    return pen;
}
}  // namespace

std::string dejavuFontPath(const std::string& fileName) {
    return "/usr/share/fonts/truetype/dejavu/" + fileName;
}

TextBitmap renderText(const std::string& fontFile, int pixelSize, const std::string& utf8Text,
                      float tracking) {
    FontFace font(fontFile, pixelSize);
    std::vector<GlyphPlacement> placements;
    const float advance = layOut(font, decodeUtf8(utf8Text), tracking, placements);
    const int ascender = static_cast<int>(font.face->size->metrics.ascender >> 6);
    const int descender = static_cast<int>(-(font.face->size->metrics.descender >> 6));
    const int margin = pixelSize / 4 + 2;

    TextBitmap text;
    text.baseline = ascender + margin;
    text.originX = margin;
    text.advance = static_cast<int>(std::lround(advance));
    text.coverage = Field(text.advance + 2 * margin, ascender + descender + 2 * margin);
    for (const GlyphPlacement& glyph : placements) {
        if (FT_Load_Glyph(font.face, glyph.index, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot slot = font.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) continue;
        const int left = text.originX + static_cast<int>(std::lround(glyph.penX)) + slot->bitmap_left;
        const int top = text.baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const int x = left + static_cast<int>(column);
                const int y = top + static_cast<int>(row);
                if (x < 0 || y < 0 || x >= text.coverage.width || y >= text.coverage.height) continue;
                const float value = bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + column] / 255.0f;
                float& cell = text.coverage.at(x, y);
                cell = std::max(cell, value);
            }
        }
    }
    return text;
}

int textAdvance(const std::string& fontFile, int pixelSize, const std::string& utf8Text, float tracking) {
    FontFace font(fontFile, pixelSize);
    std::vector<GlyphPlacement> placements;
    return static_cast<int>(std::lround(layOut(font, decodeUtf8(utf8Text), tracking, placements)));
}

void placeText(Field& field, const TextBitmap& text, int left, int baselineY, float value) {
    const int x0 = left - text.originX;
    const int y0 = baselineY - text.baseline;
    for (int y = 0; y < text.coverage.height; ++y) {
        for (int x = 0; x < text.coverage.width; ++x) {
            const float c = text.coverage.at(x, y);
            if (c > 0.0f) writeMax(field, x0 + x, y0 + y, c * value, false);
        }
    }
}

// ---- encoding ----

std::vector<unsigned char> toBytes(const Canvas& canvas, int channels, bool dither) {
    std::vector<unsigned char> bytes(static_cast<size_t>(canvas.width) * canvas.height * channels);
    size_t out = 0;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const size_t in = canvas.index(x, y);
            for (int c = 0; c < channels; ++c) {
                const int source = channels == 1 ? 0 : c;
                float offset = 0.5f;
                if (dither) {
                    const uint32_t h = mixBits(static_cast<uint32_t>(x) * 73856093u ^
                                               static_cast<uint32_t>(y) * 19349663u ^
                                               static_cast<uint32_t>(c) * 83492791u);
                    offset = static_cast<float>(h >> 8) / 16777216.0f;
                }
                const float v = clamp01(canvas.pixels[in + static_cast<size_t>(source)]) * 255.0f + offset;
                bytes[out++] = static_cast<unsigned char>(std::min(255.0f, std::floor(v)));
            }
        }
    }
    return bytes;
}

std::vector<unsigned char> encodePng(int width, int height, int channels,
                                     const std::vector<unsigned char>& pixels) {
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * height * static_cast<size_t>(channels))
        throw std::runtime_error("encodePng: pixel buffer does not match the picture size");
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.format = channels == 1   ? PngFormat::Grey
                     : channels == 3 ? PngFormat::Rgb
                     : channels == 4 ? PngFormat::Rgba
                                     : throw std::runtime_error("encodePng: 1, 3 or 4 channels");
    picture.pixels = pixels.data();
    std::vector<unsigned char> bytes;
    std::string error;
    if (!::encodePng(picture, bytes, error)) throw std::runtime_error("encodePng: " + error);
    return bytes;
}

std::vector<unsigned char> encodeJpeg(int width, int height, const std::vector<unsigned char>& rgb,
                                      int quality) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3)
        throw std::runtime_error("encodeJpeg: pixel buffer does not match the picture size");
    JpegPicture picture;
    picture.width = width;
    picture.height = height;
    picture.components = 3;
    picture.pixels = rgb.data();
    picture.quality = quality;
    picture.optimizeCoding = true;
    std::vector<unsigned char> bytes;
    std::string error;
    if (!::encodeJpeg(picture, bytes, error)) throw std::runtime_error("encodeJpeg: " + error);
    return bytes;
}

}  // namespace content
