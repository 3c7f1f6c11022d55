// Title, mask, monitor and credits pictures.
#include "content/pictures/pictures.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "base/binary.h"
#include "content/pictures/raster.h"

namespace content {

const char* const kBelieveTypedLine = "we believe in you.";
const char* const kBelievePictureNames[5] = {"believe", "believe_we", "believe_believe", "believe_in",
                                             "believe_you"};

const std::vector<Credit> kCredits = {
    {"VEXEL", "code"},
    {"KRATON", "effects & shaders"},
    {"MIRAGE", "models & graphics"},
    {"NULLWAVE", "music & sound"},
    {"SABLE", "direction & camera"},
    {"RUSTBIT", "textures & tools"},
};

namespace {

const std::string kSansBold = "DejaVuSans-Bold.ttf";
const std::string kCondensedBold = "DejaVuSansCondensed-Bold.ttf";
const std::string kSans = "DejaVuSans.ttf";
const std::string kMono = "DejaVuSansMono.ttf";
const std::string kMonoBold = "DejaVuSansMono-Bold.ttf";

std::vector<unsigned char> jpegOf(const Canvas& canvas, int quality) {
    return encodeJpeg(canvas.width, canvas.height, toBytes(canvas, 3, true), quality);
}

// Colour laid through a coverage field placed at (0, 0) of the canvas.
void paint(Canvas& canvas, const Field& coverage, Rgb colour, float opacity = 1.0f) {
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) canvas.blend(x, y, colour, coverage.at(x, y) * opacity);
}

// Light spilled around a coverage field: two blurred copies added on top. Only the region
// around the coverage is blurred; three box passes reach three radii.
void glow(Canvas& canvas, const Field& coverage, Rgb colour, int radius, float strength) {
    int left = canvas.width, top = canvas.height, right = -1, bottom = -1;
    for (int y = 0; y < coverage.height; ++y)
        for (int x = 0; x < coverage.width; ++x)
            if (coverage.at(x, y) > 0.0f) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0) return;
    const int reach = 3 * radius + 2;
    left = std::max(0, left - reach);
    top = std::max(0, top - reach);
    right = std::min(canvas.width - 1, right + reach);
    bottom = std::min(canvas.height - 1, bottom + reach);
    Field region(right - left + 1, bottom - top + 1);
    for (int y = 0; y < region.height; ++y)
        for (int x = 0; x < region.width; ++x) region.at(x, y) = coverage.at(left + x, top + y);
    Field near = region;
    blur(near, std::max(1, radius / 4), false);
    Field wide = region;
    blur(wide, radius, false);
    for (int y = 0; y < region.height; ++y)
        for (int x = 0; x < region.width; ++x)
            canvas.add(left + x, top + y, colour * (strength * (0.6f * near.at(x, y) + 0.8f * wide.at(x, y))));
}

Field textField(int width, int height, const std::string& font, int size, const std::string& text,
                float tracking, int left, int baseline) {
    Field field(width, height);
    placeText(field, renderText(dejavuFontPath(font), size, text, tracking), left, baseline);
    return field;
}

int centredLeft(int width, const std::string& font, int size, const std::string& text, float tracking) {
    return (width - textAdvance(dejavuFontPath(font), size, text, tracking)) / 2;
}

void vignette(Canvas& canvas, float strength, float power) {
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const float dx = (static_cast<float>(x) + 0.5f) / static_cast<float>(canvas.width) * 2.0f - 1.0f;
            const float dy = (static_cast<float>(y) + 0.5f) / static_cast<float>(canvas.height) * 2.0f - 1.0f;
            const float d = std::min(1.0f, std::sqrt(dx * dx + dy * dy) / 1.4142f);
            canvas.set(x, y, canvas.get(x, y) * (1.0f - strength * std::pow(d, power)));
        }
    }
}

void grain(Canvas& canvas, uint32_t seed, float amount) {
    SeededRandom random(seed);
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            const float n = (random.uniform() - 0.5f) * amount;
            canvas.add(x, y, {n, n, n});
        }
}

// Dark corrugated steel wall lit from above, with rust runs and horizontal seams.
void steelWall(Canvas& canvas, uint32_t seed, float lightX, float lightY) {
    const TileNoise noise(seed);
    const float w = static_cast<float>(canvas.width);
    const float h = static_cast<float>(canvas.height);
    const float ribPeriod = std::max(8.0f, w / 27.0f);
    const float seam = std::max(40.0f, h / 4.0f);
    for (int y = 0; y < canvas.height; ++y) {
        const float v = (static_cast<float>(y) + 0.5f) / h;
        for (int x = 0; x < canvas.width; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / w;
            const float rib = 0.5f + 0.5f * std::cos(static_cast<float>(x) * 6.2831853f / ribPeriod);
            const float grime = noise.fbm(u, v, 6, 4, 5, 0.55f, 1);
            const float runs = smoothstep(0.15f, 0.55f, noise.fbm(u, v, 40, 2, 3, 0.5f, 2));
            const float lx = (u - lightX) / 0.42f;
            const float ly = (v - lightY) / 0.55f;
            const float light = 0.22f + 1.1f * std::exp(-(lx * lx + ly * ly));
            Rgb colour = mix(Rgb{0.075f, 0.082f, 0.09f}, Rgb{0.11f, 0.115f, 0.12f}, rib);
            colour = mix(colour, Rgb{0.16f, 0.075f, 0.035f}, runs * 0.7f);
            colour = colour * (1.0f + 0.45f * grime);
            const float s = std::fmod(static_cast<float>(y), seam);
            if (s < 2.0f) colour = colour * 0.35f;
            else if (s < 3.0f) colour = colour * 1.6f;
            canvas.set(x, y, colour * light);
        }
    }
}

// Forked blue-white discharges crossing the canvas, added with their glow.
void discharges(Canvas& canvas, uint32_t seed, int count, float centreY, float spread, float radius) {
    SeededRandom random(seed);
    Field bolts(canvas.width, canvas.height);
    const float w = static_cast<float>(canvas.width);
    const float h = static_cast<float>(canvas.height);
    for (int i = 0; i < count; ++i) {
        const float x0 = random.range(-0.05f, 0.35f) * w;
        const float x1 = random.range(0.65f, 1.05f) * w;
        const float y0 = (centreY + random.range(-spread, spread)) * h;
        const float y1 = (centreY + random.range(-spread, spread)) * h;
        strokeBolt(bolts, random, x0, y0, x1, y1, 0.15f, radius, 8, true);
    }
    glow(canvas, bolts, {0.25f, 0.5f, 1.0f}, static_cast<int>(radius * 14.0f), 1.1f);
    paint(canvas, bolts, {0.85f, 0.93f, 1.0f});
}

// Brushed-steel lettering with a bevel, a drop shadow and a cold rim glow.
void metalTitle(Canvas& canvas, uint32_t seed, const std::string& font, int size,
                const std::string& text, float tracking, int baseline, Rgb glowColour) {
    const int left = centredLeft(canvas.width, font, size, text, tracking);
    const Field cover = textField(canvas.width, canvas.height, font, size, text, tracking, left, baseline);
    const int shadowOffset = std::max(2, size / 24);
    Field shadow(canvas.width, canvas.height);
    for (int y = shadowOffset; y < canvas.height; ++y)
        for (int x = shadowOffset; x < canvas.width; ++x) shadow.at(x, y) = cover.at(x - shadowOffset, y - shadowOffset);
    blur(shadow, std::max(2, size / 18), false);
    paint(canvas, shadow, {0, 0, 0}, 0.85f);
    glow(canvas, cover, glowColour, std::max(4, size / 6), 0.45f);

    Field soft = cover;
    blur(soft, std::max(1, size / 60), false);
    const TileNoise noise(seed);
    const int ascent = static_cast<int>(static_cast<float>(size) * 0.73f);
    for (int y = 1; y < canvas.height - 1; ++y) {
        for (int x = 1; x < canvas.width - 1; ++x) {
            const float c = cover.at(x, y);
            if (c <= 0.0f) continue;
            // 0 at the cap line, 1 at the baseline.
            const float t = clamp01(static_cast<float>(y - (baseline - ascent)) / static_cast<float>(ascent));
            Rgb metal = t < 0.52f ? mix(Rgb{0.92f, 0.94f, 0.96f}, Rgb{0.42f, 0.45f, 0.5f}, t / 0.52f)
                                  : mix(Rgb{0.78f, 0.82f, 0.86f}, Rgb{0.16f, 0.17f, 0.2f}, (t - 0.52f) / 0.48f);
            const float u = static_cast<float>(x) / static_cast<float>(canvas.width);
            const float v = static_cast<float>(y) / static_cast<float>(canvas.height);
            metal = metal * (0.9f + 0.1f * noise.fbm(u, v, 2, 64, 3, 0.5f, 9));
            const float bevel = (soft.at(x - 1, y - 1) - soft.at(x + 1, y + 1)) * 1.6f;
            metal = metal * (1.0f - 0.5f * std::max(0.0f, bevel)) + Rgb{0.9f, 0.95f, 1.0f} * std::max(0.0f, -bevel) * 0.6f;
            canvas.blend(x, y, metal, c);
        }
    }
}

void writeText(Canvas& canvas, const std::string& font, int size, const std::string& text, float tracking,
               int left, int baseline, Rgb colour, float glowStrength = 0.0f, int glowRadius = 6) {
    const Field cover = textField(canvas.width, canvas.height, font, size, text, tracking, left, baseline);
    if (glowStrength > 0.0f) glow(canvas, cover, colour, glowRadius, glowStrength);
    paint(canvas, cover, colour);
}

void writeCentred(Canvas& canvas, const std::string& font, int size, const std::string& text, float tracking,
                  int baseline, Rgb colour, float glowStrength = 0.0f, int glowRadius = 6) {
    writeText(canvas, font, size, text, tracking, centredLeft(canvas.width, font, size, text, tracking),
              baseline, colour, glowStrength, glowRadius);
}

void fillRect(Canvas& canvas, int x0, int y0, int x1, int y1, Rgb colour, float alpha) {
    for (int y = std::max(0, y0); y < std::min(canvas.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(canvas.width, x1); ++x) canvas.blend(x, y, colour, alpha);
}

// Phosphor monitor: darker every third row, darker towards the curved corners.
void scanlines(Canvas& canvas, float depth) {
    for (int y = 0; y < canvas.height; ++y) {
        if (y % 3 != 2) continue;
        for (int x = 0; x < canvas.width; ++x) canvas.set(x, y, canvas.get(x, y) * (1.0f - depth));
    }
}

}  // namespace

std::vector<unsigned char> loaderPicture(uint32_t seed) {
    const int w = 1280;
    const int h = 720;
    Canvas canvas(w, h);
    steelWall(canvas, seed, 0.5f, 0.38f);
    // A cold haze behind the title.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = (static_cast<float>(x) / w - 0.5f) / 0.5f;
            const float dy = (static_cast<float>(y) / h - 0.47f) / 0.16f;
            canvas.add(x, y, Rgb{0.04f, 0.14f, 0.24f} * std::exp(-(dx * dx + dy * dy)));
        }
    discharges(canvas, seed + 1, 4, 0.46f, 0.1f, 1.3f);
    writeCentred(canvas, kSansBold, 30, "QUORVEX", 16.0f, 230, {1.0f, 0.6f, 0.18f}, 0.9f, 10);
    writeCentred(canvas, kSans, 15, "presents", 6.0f, 258, {0.62f, 0.58f, 0.52f});
    metalTitle(canvas, seed + 2, kCondensedBold, 150, "VOLTARESCA", 6.0f, 410, {0.2f, 0.55f, 1.0f});
    writeCentred(canvas, kSans, 20, "a real-time film", 10.0f, 470, {0.55f, 0.6f, 0.66f});
    vignette(canvas, 0.75f, 2.2f);

    // The groove the progress bar fills, with its label.
    const int x0 = static_cast<int>(w * 0.03f);
    const int x1 = static_cast<int>(w * 0.43f);
    const int top = h - static_cast<int>(h * 0.037f);
    const int bottom = h - static_cast<int>(h * 0.025f);
    fillRect(canvas, x0 - 3, top - 3, x1 + 3, bottom + 3, {0.3f, 0.32f, 0.35f}, 0.8f);
    fillRect(canvas, x0 - 2, top - 2, x1 + 2, bottom + 2, {0.0f, 0.0f, 0.0f}, 1.0f);
    writeText(canvas, kMono, 13, "LOADING", 4.0f, x0, top - 10, {0.6f, 0.64f, 0.7f});
    writeText(canvas, kMono, 13, "QVX-07", 4.0f, w - x0 - 80, top - 10, {0.4f, 0.42f, 0.46f});
    grain(canvas, seed + 3, 0.035f);
    return jpegOf(canvas, 90);
}

std::vector<unsigned char> setupPicture(uint32_t seed) {
    const int w = 400;
    const int h = 150;
    Canvas canvas(w, h);
    steelWall(canvas, seed, 0.5f, 0.3f);
    discharges(canvas, seed + 1, 2, 0.58f, 0.06f, 0.8f);
    writeCentred(canvas, kSansBold, 11, "QUORVEX", 7.0f, 34, {1.0f, 0.6f, 0.18f}, 0.8f, 4);
    metalTitle(canvas, seed + 2, kCondensedBold, 54, "VOLTARESCA", 2.0f, 94, {0.2f, 0.55f, 1.0f});
    writeCentred(canvas, kSans, 9, "choose a display mode", 3.0f, 122, {0.6f, 0.64f, 0.7f});
    vignette(canvas, 0.6f, 2.0f);
    for (int y = 0; y < h; ++y) {
        const float fade = 1.0f - smoothstep(static_cast<float>(h - 16), static_cast<float>(h), static_cast<float>(y));
        for (int x = 0; x < w; ++x) canvas.set(x, y, canvas.get(x, y) * fade);
    }
    return encodePng(w, h, 3, toBytes(canvas, 3, false));
}

std::vector<unsigned char> endPicture(uint32_t seed) {
    const int w = 1280;
    const int h = 720;
    Canvas canvas(w, h, {0.008f, 0.009f, 0.011f});
    // A faint beam from above onto the name.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = (static_cast<float>(x) / w - 0.5f) / (0.16f + 0.3f * static_cast<float>(y) / h);
            const float dy = (static_cast<float>(y) / h - 0.48f) / 0.5f;
            canvas.add(x, y, Rgb{0.05f, 0.07f, 0.09f} * std::exp(-(dx * dx + dy * dy)));
        }
    discharges(canvas, seed + 1, 2, 0.5f, 0.03f, 0.9f);
    writeCentred(canvas, kSans, 20, "thank you for watching", 8.0f, 250, {0.55f, 0.58f, 0.62f});
    metalTitle(canvas, seed + 2, kSansBold, 130, "QUORVEX", 14.0f, 420, {1.0f, 0.5f, 0.15f});
    Field rule(w, h);
    strokeSegment(rule, w * 0.3f, 462, w * 0.7f, 462, 0.8f, 1.0f, false);
    glow(canvas, rule, {0.2f, 0.55f, 1.0f}, 8, 1.0f);
    paint(canvas, rule, {0.7f, 0.85f, 1.0f});
    writeCentred(canvas, kCondensedBold, 30, "VOLTARESCA", 18.0f, 510, {0.78f, 0.82f, 0.88f});
    vignette(canvas, 0.6f, 2.0f);
    grain(canvas, seed + 3, 0.02f);
    // The end image is drawn as source x source colour: keep square roots of what should show.
    for (float& value : canvas.pixels) value = std::sqrt(clamp01(value));
    return jpegOf(canvas, 90);
}

std::vector<unsigned char> maskPicture(int width, int height) {
    Canvas canvas(width, height, {0, 0, 0}, 0.0f);
    const float bar = kLetterboxBar * static_cast<float>(height);
    for (int y = 0; y < height; ++y) {
        const float fy = static_cast<float>(y) + 0.5f;
        const bool inBar = fy < bar || fy > static_cast<float>(height) - bar;
        // The vignette is measured inside the picture between the bars.
        const float vy = (fy - bar) / (static_cast<float>(height) - 2.0f * bar) * 2.0f - 1.0f;
        for (int x = 0; x < width; ++x) {
            if (inBar) {
                canvas.setAlpha(x, y, 1.0f);
                continue;
            }
            const float vx = (static_cast<float>(x) + 0.5f) / static_cast<float>(width) * 2.0f - 1.0f;
            const float d = std::sqrt(vx * vx * 0.8f + vy * vy * 0.45f);
            canvas.setAlpha(x, y, 0.62f * smoothstep(0.45f, 1.25f, d));
        }
    }
    return encodePng(width, height, 4, toBytes(canvas, 4, false));
}

std::vector<unsigned char> tvNoisePicture(int frame, uint32_t seed) {
    const int w = 320;
    const int h = 240;
    SeededRandom random(seed * 7u + static_cast<uint32_t>(frame) * 7919u + 11u);
    Canvas canvas(w, h);
    const float band = static_cast<float>((frame * 97 + 40) % h);
    for (int y = 0; y < h; ++y) {
        const float row = random.range(0.75f, 1.15f);
        const float dy = (static_cast<float>(y) - band) / 16.0f;
        const float lift = 0.22f * std::exp(-dy * dy);
        const bool streak = random.uniform() < 0.03f;
        float previous = random.uniform();
        for (int x = 0; x < w; ++x) {
            // Snow is smeared a little along the line, as an analogue signal is.
            const float value = 0.55f * random.uniform() + 0.45f * previous;
            previous = value;
            float v = (value * value * 0.95f) * row + lift + (streak ? 0.25f : 0.0f);
            if (y % 2 == 1) v *= 0.72f;
            canvas.set(x, y, {v * 0.96f, v, v * 1.05f});
        }
    }
    return jpegOf(canvas, 88);
}

std::vector<int> believeLetterStops() {
    const std::string font = dejavuFontPath(kMonoBold);
    const std::string line = kBelieveTypedLine;
    std::vector<int> stops;
    for (size_t n = 0; n <= line.size(); ++n) stops.push_back(n == 0 ? 0 : textAdvance(font, 24, line.substr(0, n)));
    return stops;
}

std::vector<unsigned char> believePicture(int index) {
    const int w = 800;
    const int h = 600;
    if (index < 0 || index > 4) throw std::runtime_error("believePicture: index 0 to 4");
    const Rgb bright{0.5f, 1.0f, 0.6f};
    const Rgb dim{0.16f, 0.5f, 0.26f};
    Canvas canvas(w, h);
    // Phosphor haze below the typed line only: the program's cover over the line is pure black.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = (static_cast<float>(x) - 400.0f) / 420.0f;
            const float dy = (static_cast<float>(y) - 340.0f) / 300.0f;
            const float keep = smoothstep(110.0f, 220.0f, static_cast<float>(y));
            canvas.set(x, y, Rgb{0.0f, 0.045f, 0.022f} * (keep * std::exp(-(dx * dx + dy * dy))));
        }
    writeText(canvas, kMono, 16, "QVX/OS 3.1   terminal 07   hall B", 0.0f, 52, 30, dim, 0.5f, 4);
    writeText(canvas, kMono, 16, "carrier ok. one message waiting.", 0.0f, 52, 54, dim, 0.5f, 4);
    writeText(canvas, kMonoBold, 24, ">", 0.0f, 52, 90, bright, 0.6f, 4);

    // The typed line and its glow stay inside the band the cover hides.
    Field line = textField(w, h, kMonoBold, 24, kBelieveTypedLine, 0.0f, kBelieveLineLeft, 90);
    Field lineGlow = line;
    blur(lineGlow, 3, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inBand = y >= 70 && y < 96;
            if (!inBand) line.at(x, y) = lineGlow.at(x, y) = 0.0f;
            canvas.add(x, y, bright * (0.7f * lineGlow.at(x, y)));
        }
    paint(canvas, line, bright);

    if (index > 0) {
        static const char* const words[5] = {"", "WE", "BELIEVE", "IN", "YOU"};
        writeCentred(canvas, kMonoBold, 150, words[index], 4.0f, 385, bright, 1.0f, 26);
    } else {
        writeText(canvas, kMono, 16, "_", 0.0f, 52, 140, dim);
    }
    writeText(canvas, kMono, 14, "[ link 07 ]  [ rx 2.4k ]  [ quorvex ]", 0.0f, 52, 566, dim * 0.8f);
    scanlines(canvas, 0.45f);
    vignette(canvas, 0.55f, 3.0f);
    return encodePng(w, h, 3, toBytes(canvas, 3, false));
}

std::vector<PictureFile> creditsPictures() {
    std::vector<PictureFile> files;
    const Rgb accents[] = {{1.0f, 0.6f, 0.18f}, {0.35f, 0.7f, 1.0f}, {0.5f, 1.0f, 0.6f},
                           {1.0f, 0.35f, 0.45f}, {0.85f, 0.75f, 1.0f}, {1.0f, 0.85f, 0.35f}};
    for (size_t i = 0; i < kCredits.size(); ++i) {
        const int w = 512;
        const int h = 384;
        const Credit& credit = kCredits[i];
        const Rgb accent = accents[i % 6];
        Canvas canvas(w, h, {0.015f, 0.02f, 0.03f});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float dx = (static_cast<float>(x) - 256.0f) / 300.0f;
                const float dy = (static_cast<float>(y) - 192.0f) / 220.0f;
                canvas.add(x, y, Rgb{0.05f, 0.07f, 0.1f} * std::exp(-(dx * dx + dy * dy)));
            }
        std::string role = credit.role;
        std::transform(role.begin(), role.end(), role.begin(), [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
        writeCentred(canvas, kMonoBold, 20, role, 4.0f, 120, accent, 0.8f, 6);
        writeCentred(canvas, kSansBold, 72, credit.handle, 4.0f, 222, {0.92f, 0.96f, 1.0f}, 0.7f, 14);
        Field rule(w, h);
        strokeSegment(rule, 156, 252, 356, 252, 1.2f, 1.0f, false);
        glow(canvas, rule, accent, 6, 0.8f);
        paint(canvas, rule, accent);
        char counter[64];
        std::snprintf(counter, sizeof counter, "QUORVEX  %02zu/%02zu", i + 1, kCredits.size());
        writeCentred(canvas, kMono, 14, counter, 3.0f, 318, {0.45f, 0.5f, 0.58f});
        scanlines(canvas, 0.35f);
        vignette(canvas, 0.6f, 2.5f);
        std::string handle = credit.handle;
        std::transform(handle.begin(), handle.end(), handle.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        char name[128];
        std::snprintf(name, sizeof name, "textures/credits/%02zu_%s.jpg", i + 1, handle.c_str());
        files.push_back({name, jpegOf(canvas, 90)});
    }
    return files;
}

std::vector<PictureFile> archivePictures(uint32_t seed) {
    std::vector<PictureFile> files = materialTextures(seed);
    for (PictureFile& texture : turnedTextures(seed)) files.push_back(std::move(texture));
    for (PictureFile& credit : creditsPictures()) files.push_back(std::move(credit));
    files.push_back({"textures/end.jpg", endPicture(seed)});
    files.push_back({"textures/mask.png", maskPicture(1024, 576)});
    files.push_back({"textures/mask_big.png", maskPicture(2048, 1152)});
    for (int frame = 0; frame < 3; ++frame)
        files.push_back({"textures/tv_noise" + std::to_string(frame + 1) + ".jpg", tvNoisePicture(frame, seed)});
    for (int index = 0; index < 5; ++index)
        files.push_back({std::string("textures/") + kBelievePictureNames[index] + ".png", believePicture(index)});
    files.push_back({"loader.jpg", loaderPicture(seed)});
    return files;
}

void writePictureFiles(const std::vector<PictureFile>& files, const std::string& folder) {
    for (const PictureFile& file : files) {
        const std::string path = folder + "/" + file.path;
        const size_t slash = path.find_last_of('/');
        std::error_code error;
        std::filesystem::create_directories(path.substr(0, slash), error);
        if (error) throw std::runtime_error("cannot create the folder for '" + path + "': " + error.message());
        if (!writeWholeFile(path, file.bytes))
            throw std::runtime_error("cannot write '" + path + "' (is the folder writable?)");
    }
}

}  // namespace content
