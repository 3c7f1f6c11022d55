// Tileable material textures: every feature is drawn with wrap-around so the edges continue.
#include <algorithm>
#include <cmath>

#include "content/pictures/pictures.h"
#include "content/pictures/raster.h"

namespace content {

namespace {

float coord(int i, int size) { return (static_cast<float>(i) + 0.5f) / static_cast<float>(size); }

std::vector<unsigned char> jpegOf(const Canvas& canvas, int quality) {
    return encodeJpeg(canvas.width, canvas.height, toBytes(canvas, 3, true), quality);
}

std::vector<unsigned char> normalPng(const Field& height, float strength) {
    return encodePng(height.width, height.height, 3, normalMapFromHeight(height, strength));
}

// Halves a field by averaging 2 x 2 blocks (sizes are even).
Field halve(const Field& field) {
    Field half(field.width / 2, field.height / 2);
    for (int y = 0; y < half.height; ++y)
        for (int x = 0; x < half.width; ++x)
            half.at(x, y) = 0.25f * (field.at(2 * x, 2 * y) + field.at(2 * x + 1, 2 * y) +
                                     field.at(2 * x, 2 * y + 1) + field.at(2 * x + 1, 2 * y + 1));
    return half;
}

// Thin branching cracks, wrapped.
Field cracks(int size, SeededRandom& random, int count) {
    Field field(size, size);
    const float s = static_cast<float>(size);
    for (int i = 0; i < count; ++i) {
        const float x0 = random.range(0.0f, s);
        const float y0 = random.range(0.0f, s);
        const float angle = random.range(0.0f, 6.2831853f);
        const float length = random.range(0.12f, 0.3f) * s;
        strokeBolt(field, random, x0, y0, x0 + std::cos(angle) * length, y0 + std::sin(angle) * length, 0.18f,
                   0.7f * s / 1024.0f + 0.3f, 7, true, true);
    }
    return field;
}

// Short straight scratches in random directions, wrapped.
void scratches(Field& field, SeededRandom& random, int count, float minLength, float maxLength,
               float radius, float minValue) {
    const float s = static_cast<float>(field.width);
    for (int i = 0; i < count; ++i) {
        const float x0 = random.range(0.0f, s);
        const float y0 = random.range(0.0f, s);
        const float angle = random.range(0.0f, 3.14159265f);
        const float length = random.range(minLength, maxLength);
        strokeSegment(field, x0, y0, x0 + std::cos(angle) * length, y0 + std::sin(angle) * length, radius,
                      random.range(minValue, 1.0f), true);
    }
}

void concrete(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 1024;
    const TileNoise noise(seed);
    SeededRandom random(seed);
    const Field crackField = cracks(size, random, 7);
    Canvas canvas(size, size);
    Field height(size, size);
    const Field largeField = fbmField(noise, size, size, 4, 4, 4, 0.55f, 1);
    const Field midField = fbmField(noise, size, size, 24, 24, 3, 0.5f, 2);
    const Field stainField = fbmField(noise, size, size, 5, 5, 4, 0.6f, 4);
    const Field runsField = fbmField(noise, size, size, 28, 3, 3, 0.5f, 5);
    for (int y = 0; y < size; ++y) {
        const float v = coord(y, size);
        for (int x = 0; x < size; ++x) {
            const float u = coord(x, size);
            const float large = largeField.at(x, y);
            const float mid = midField.at(x, y);
            const float fine = noise.gradient(u, v, 256, 256, 3);
            const float stain = smoothstep(0.05f, 0.45f, stainField.at(x, y));
            const float runs = smoothstep(0.1f, 0.5f, runsField.at(x, y));
            float f1, f2;
            noise.cellular(u, v, 64, f1, f2, 6);
            const float pit = (1.0f - smoothstep(0.05f, 0.1f, f1)) * smoothstep(0.0f, 0.3f, mid + 0.2f * large);
            const float speck = random.uniform();
            Rgb colour = Rgb{0.5f, 0.49f, 0.47f} * (1.0f + 0.2f * large + 0.08f * mid + 0.06f * fine);
            colour = mix(colour, Rgb{0.33f, 0.3f, 0.26f}, 0.55f * stain);
            colour = colour * (1.0f - 0.12f * runs);
            if (speck > 0.985f) colour = colour * 1.25f;
            else if (speck < 0.012f) colour = colour * 0.7f;
            colour = colour * (1.0f - 0.45f * pit) * (1.0f - 0.6f * crackField.at(x, y));
            canvas.set(x, y, colour);
            height.at(x, y) = 0.5f + 0.12f * mid + 0.1f * fine - 0.6f * pit - 0.7f * crackField.at(x, y);
        }
    }
    out.push_back({"textures/concrete.jpg", jpegOf(canvas, 85)});
    out.push_back({"textures/concrete_bump.png", normalPng(halve(height), 3.0f)});
}

void paintedMetal(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 512;
    const int panel = size / 2;
    const TileNoise noise(seed);
    SeededRandom random(seed);
    // Rivets along both sides of every seam; grime runs down from some of them.
    Field rivets(size, size);
    Field drips(size, size);
    for (int seam = panel / 2; seam < size; seam += panel) {
        for (int k = 0; k < size / 32; ++k) {
            const float along = static_cast<float>(k * 32 + 16);
            for (float side : {-12.0f, 12.0f}) {
                const float across = static_cast<float>(seam) + side;
                const float centres[2][2] = {{across, along}, {along, across}};
                for (const auto& c : centres) {
                    stampDisc(rivets, c[0], c[1], 4.5f, 1.0f, true);
                    if (random.uniform() < 0.45f)
                        strokeSegment(drips, c[0], c[1] + 4.0f, c[0] + random.range(-1.0f, 1.0f),
                                      c[1] + random.range(20.0f, 90.0f), random.range(1.2f, 2.5f), 1.0f, true);
                }
            }
        }
    }
    blur(drips, 2, true);
    for (float& d : rivets.values) d = std::sqrt(std::max(0.0f, d));

    Field chips(size, size);
    Field seamGrime(size, size);
    Field height(size, size);
    const Field nField = fbmField(noise, size, size, 8, 8, 6, 0.55f, 1);
    for (int y = 0; y < size; ++y) {
        const float v = coord(y, size);
        const int py = (y + panel / 2) % panel;
        const float dy = static_cast<float>(std::min(py, panel - py));
        for (int x = 0; x < size; ++x) {
            const float u = coord(x, size);
            const int px = (x + panel / 2) % panel;
            const float dx = static_cast<float>(std::min(px, panel - px));
            const float seamDistance = std::min(dx, dy);
            const float groove = 1.0f - smoothstep(0.5f, 2.5f, seamDistance);
            const float edgeWear = 1.0f - smoothstep(3.0f, 40.0f, seamDistance);
            const float n = nField.at(x, y) + 0.35f * edgeWear + 0.3f * rivets.at(x, y);
            chips.at(x, y) = smoothstep(0.36f, 0.4f, n);
            seamGrime.at(x, y) = groove;
            height.at(x, y) = 0.6f - 0.7f * groove + 0.5f * rivets.at(x, y) - 0.12f * chips.at(x, y) +
                              0.015f * noise.gradient(u, v, 128, 128, 2);
        }
    }
    blur(seamGrime, 4, true);
    Field rustRim = chips;
    blur(rustRim, 2, true);

    Canvas canvas(size, size);
    const Field fadeField = fbmField(noise, size, size, 4, 4, 4, 0.5f, 3);
    for (int y = 0; y < size; ++y) {
        const float v = coord(y, size);
        const float panelV = static_cast<float>((y + panel / 2) % panel) / static_cast<float>(panel);
        for (int x = 0; x < size; ++x) {
            const float u = coord(x, size);
            const float fade = fadeField.at(x, y);
            Rgb paintColour = Rgb{0.17f, 0.3f, 0.33f} * (1.0f + 0.18f * fade);
            paintColour = mix(paintColour, Rgb{0.3f, 0.38f, 0.38f}, smoothstep(0.2f, 0.6f, fade) * 0.5f);
            const Rgb bare = Rgb{0.46f, 0.46f, 0.47f} * (1.0f + 0.15f * noise.gradient(u, v, 64, 64, 4));
            const float rim = std::clamp(rustRim.at(x, y) - chips.at(x, y) * 0.6f, 0.0f, 1.0f);
            Rgb colour = mix(paintColour, bare, chips.at(x, y));
            colour = mix(colour, Rgb{0.36f, 0.16f, 0.06f}, rim * 0.9f);
            colour = colour * (1.0f + 0.25f * rivets.at(x, y));
            colour = colour * (1.0f - 0.55f * seamGrime.at(x, y)) * (1.0f - 0.25f * smoothstep(0.5f, 1.0f, panelV));
            colour = mix(colour, Rgb{0.2f, 0.12f, 0.06f}, 0.5f * drips.at(x, y));
            canvas.set(x, y, colour);
        }
    }
    out.push_back({"textures/painted_metal.jpg", jpegOf(canvas, 88)});
    out.push_back({"textures/painted_metal_bump.png", normalPng(height, 4.0f)});
}

void brushedMetal(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 512;
    const TileNoise noise(seed);
    SeededRandom random(seed);
    Field marks(size, size);
    scratches(marks, random, 35, 10.0f, 70.0f, 0.4f, 0.2f);
    Canvas canvas(size, size);
    const Field brushField = fbmField(noise, size, size, 2, 256, 3, 0.6f, 1);
    const Field smudgeField = fbmField(noise, size, size, 4, 4, 4, 0.5f, 2);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float brush = brushField.at(x, y);
            const float smudge = smudgeField.at(x, y);
            float value = 0.55f + 0.07f * brush - 0.07f * smoothstep(0.0f, 0.6f, smudge) + 0.1f * marks.at(x, y);
            canvas.set(x, y, Rgb{0.95f, 0.98f, 1.02f} * value);
        }
    }
    out.push_back({"textures/brushed_metal.jpg", jpegOf(canvas, 88)});
}

void rust(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 512;
    const TileNoise noise(seed);
    Canvas canvas(size, size);
    Field height(size, size);
    const Field layerField = fbmField(noise, size, size, 6, 6, 6, 0.55f, 1);
    const Field detailField = fbmField(noise, size, size, 32, 32, 3, 0.5f, 2);
    for (int y = 0; y < size; ++y) {
        const float v = coord(y, size);
        for (int x = 0; x < size; ++x) {
            const float u = coord(x, size);
            const float layer = layerField.at(x, y) * 0.5f + 0.5f;
            const float detail = detailField.at(x, y);
            float f1, f2;
            noise.cellular(u, v, 24, f1, f2, 3);
            const float flakeEdge = (1.0f - smoothstep(0.02f, 0.07f, f2 - f1)) * smoothstep(-0.1f, 0.3f, detail);
            const float flakeLift = noise.gradient(u, v, 24, 24, 4) > 0.25f ? 1.0f : 0.0f;
            Rgb colour = layer < 0.5f ? mix(Rgb{0.12f, 0.06f, 0.035f}, Rgb{0.34f, 0.15f, 0.06f}, layer / 0.5f)
                                      : mix(Rgb{0.34f, 0.15f, 0.06f}, Rgb{0.62f, 0.32f, 0.11f}, (layer - 0.5f) / 0.5f);
            colour = colour * (1.0f + 0.3f * detail);
            colour = mix(colour, Rgb{0.7f, 0.42f, 0.17f}, 0.35f * flakeLift * smoothstep(0.5f, 0.8f, layer));
            colour = colour * (1.0f - 0.4f * flakeEdge);
            canvas.set(x, y, colour);
            height.at(x, y) = 0.4f * layer + 0.2f * detail + 0.25f * flakeLift - 0.4f * flakeEdge;
        }
    }
    out.push_back({"textures/rust.jpg", jpegOf(canvas, 85)});
    out.push_back({"textures/rust_bump.png", normalPng(height, 4.0f)});
}

void rubber(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 512;
    const int ridges = 16;
    const TileNoise noise(seed);
    SeededRandom random(seed);
    Field scuffs(size, size);
    for (int i = 0; i < 70; ++i) {
        const float x0 = random.range(0.0f, static_cast<float>(size));
        const float y0 = random.range(0.0f, static_cast<float>(size));
        strokeSegment(scuffs, x0, y0, x0 + random.range(-4.0f, 4.0f), y0 + random.range(20.0f, 120.0f),
                      random.range(0.6f, 2.0f), random.range(0.3f, 1.0f), true);
    }
    Canvas canvas(size, size);
    Field height(size, size);
    const Field wearField = fbmField(noise, size, size, 3, 6, 4, 0.5f, 1);
    const Field dustField = fbmField(noise, size, size, 8, 8, 4, 0.55f, 2);
    for (int y = 0; y < size; ++y) {
        const float v = coord(y, size);
        const float phase = std::fmod(v * ridges, 1.0f);
        const float ridge = smoothstep(0.05f, 0.15f, phase) * (1.0f - smoothstep(0.4f, 0.5f, phase));
        for (int x = 0; x < size; ++x) {
            const float u = coord(x, size);
            const float wear = wearField.at(x, y);
            const float dust = smoothstep(0.0f, 0.5f, dustField.at(x, y)) * (1.0f - ridge);
            const float grain = noise.gradient(u, v, 128, 128, 3);
            Rgb colour = Rgb{0.065f, 0.065f, 0.07f} * (1.0f + 0.15f * grain);
            colour = colour + Rgb{0.07f, 0.07f, 0.07f} * ridge * (0.6f + 0.4f * wear);
            colour = mix(colour, Rgb{0.2f, 0.18f, 0.15f}, 0.5f * dust);
            colour = mix(colour, Rgb{0.16f, 0.16f, 0.16f}, 0.35f * scuffs.at(x, y));
            canvas.set(x, y, colour);
            height.at(x, y) = 0.8f * ridge + 0.03f * grain - 0.1f * scuffs.at(x, y);
        }
    }
    out.push_back({"textures/rubber.jpg", jpegOf(canvas, 85)});
    out.push_back({"textures/rubber_bump.png", normalPng(height, 5.0f)});
}

void glass(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 512;
    const TileNoise noise(seed);
    SeededRandom random(seed);
    Canvas canvas(size, size);
    const Field grimeField = fbmField(noise, size, size, 4, 4, 5, 0.55f, 1);
    const Field streakField = fbmField(noise, size, size, 24, 2, 3, 0.5f, 2);
    const Field tintField = fbmField(noise, size, size, 2, 2, 2, 0.5f, 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float grime = smoothstep(0.05f, 0.6f, grimeField.at(x, y));
            const float streak = smoothstep(0.2f, 0.6f, streakField.at(x, y));
            const float tint = tintField.at(x, y);
            Rgb colour = Rgb{0.62f, 0.71f, 0.74f} * (1.0f + 0.05f * tint);
            colour = mix(colour, Rgb{0.42f, 0.42f, 0.38f}, 0.6f * grime);
            colour = colour * (1.0f - 0.1f * streak);
            if (random.uniform() > 0.996f) colour = colour * 0.7f;
            canvas.set(x, y, colour);
        }
    }
    out.push_back({"textures/glass.jpg", jpegOf(canvas, 85)});
}

void lampGlow(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 512;
    const TileNoise noise(seed);
    Field cage(size, size);
    for (int line = 0; line < size; line += size / 4) {
        strokeSegment(cage, static_cast<float>(line), -8.0f, static_cast<float>(line), size + 8.0f, 2.2f, 1.0f, true);
        strokeSegment(cage, -8.0f, static_cast<float>(line), size + 8.0f, static_cast<float>(line), 2.2f, 1.0f, true);
    }
    Field cageShade = cage;
    blur(cageShade, 4, true);
    Canvas canvas(size, size);
    const Field hotField = fbmField(noise, size, size, 3, 3, 3, 0.5f, 1);
    for (int y = 0; y < size; ++y) {
        const float v = coord(y, size);
        const float rib = 0.5f + 0.5f * std::cos(v * 6.2831853f * 24.0f);
        for (int x = 0; x < size; ++x) {
            const float hot = hotField.at(x, y);
            Rgb colour = mix(Rgb{1.0f, 0.78f, 0.45f}, Rgb{1.0f, 0.95f, 0.82f}, clamp01(0.55f + 0.5f * hot));
            colour = colour * (0.85f + 0.15f * rib) * (1.0f - 0.35f * cageShade.at(x, y));
            colour = mix(colour, Rgb{0.16f, 0.13f, 0.1f}, cage.at(x, y));
            canvas.set(x, y, colour);
        }
    }
    out.push_back({"textures/lamp_glow.jpg", jpegOf(canvas, 88)});
}

void headMetal(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 1024;
    const TileNoise noise(seed);
    SeededRandom random(seed);
    Field fine(size, size);
    scratches(fine, random, 1600, 4.0f, 50.0f, 0.4f, 0.15f);
    Field gouges(size, size);
    scratches(gouges, random, 40, 40.0f, 160.0f, 1.4f, 0.6f);
    Field gougeRim = gouges;
    blur(gougeRim, 2, true);
    Canvas canvas(size, size);
    const Field largeField = fbmField(noise, size, size, 4, 4, 5, 0.55f, 1);
    const Field oxideField = fbmField(noise, size, size, 6, 6, 5, 0.6f, 2);
    for (int y = 0; y < size; ++y) {
        const float v = coord(y, size);
        for (int x = 0; x < size; ++x) {
            const float u = coord(x, size);
            const float large = largeField.at(x, y);
            const float oxide = smoothstep(0.15f, 0.55f, oxideField.at(x, y));
            const float grain = noise.gradient(u, v, 256, 256, 3);
            Rgb colour = Rgb{0.13f, 0.135f, 0.15f} * (1.0f + 0.3f * large + 0.08f * grain);
            colour = mix(colour, Rgb{0.1f, 0.08f, 0.075f}, 0.6f * oxide);
            colour = colour + Rgb{0.3f, 0.31f, 0.33f} * (0.6f * fine.at(x, y));
            const float rim = std::clamp(gougeRim.at(x, y) - gouges.at(x, y) * 0.8f, 0.0f, 1.0f);
            colour = colour + Rgb{0.35f, 0.36f, 0.38f} * rim;
            colour = colour * (1.0f - 0.6f * gouges.at(x, y));
            canvas.set(x, y, colour);
        }
    }
    out.push_back({"textures/head_metal.jpg", jpegOf(canvas, 85)});
}

// The soft edge of light in the dusty air: warm white whose alpha rises from nothing at v = 0 to
// full at v = 1, with faint streaks of dust along v. The light cones under the lamps fade
// toward the floor with it, the pools of light on the floor toward their rims.
void lightFalloff(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 128;
    const TileNoise noise(seed);
    Canvas canvas(size, size);
    for (int y = 0; y < size; ++y) {
        const float v = 1.0f - coord(y, size);  // the picture's bottom row is v = 0
        for (int x = 0; x < size; ++x) {
            const float u = coord(x, size);
            const float dust = noise.gradient(u, 0.5f, 24, 1, 1) * 0.6f + noise.gradient(u, v, 8, 4, 2) * 0.4f;
            canvas.set(x, y, Rgb{1.0f, 0.93f, 0.8f});
            canvas.setAlpha(x, y, clamp01(std::pow(v, 1.6f) * (0.85f + 0.3f * dust)));
        }
    }
    out.push_back({"textures/light_falloff.png", encodePng(size, size, 4, toBytes(canvas, 4, false))});
}

// An iris, unrolled: u runs around the pupil, v from the pupil's edge (0) out to the rim (1).
// Amber fibres run outward, a bright ring of them near the pupil, dark pits between, and the
// rim darkens to a thin ring at the edge.
void iris(uint32_t seed, std::vector<PictureFile>& out) {
    const int size = 256;
    const TileNoise noise(seed);
    Canvas canvas(size, size);
    for (int y = 0; y < size; ++y) {
        const float v = 1.0f - coord(y, size);  // the picture's bottom row is v = 0
        for (int x = 0; x < size; ++x) {
            const float u = coord(x, size);
            const float fibres = 0.5f + 0.5f * noise.gradient(u, v, 64, 2, 1) + 0.35f * noise.gradient(u, v, 24, 3, 2);
            const float pits = smoothstep(0.3f, 0.6f, noise.gradient(u, v, 16, 5, 3));
            const float collarette = std::exp(-std::pow((v - 0.3f) / 0.1f, 2.0f));
            const float rim = 1.0f - smoothstep(0.75f, 1.0f, v);
            float level = (0.55f + 0.45f * clamp01(fibres)) * (1.0f - 0.5f * pits) + 0.4f * collarette;
            level *= 0.15f + 0.85f * rim;
            const Rgb colour = mix(Rgb{0.9f, 0.5f, 0.12f}, Rgb{1.0f, 0.88f, 0.5f}, clamp01(level - 0.4f));
            canvas.set(x, y, colour * clamp01(level));
        }
    }
    out.push_back({"textures/iris.jpg", jpegOf(canvas, 90)});
}

}  // namespace

std::vector<PictureFile> materialTextures(uint32_t seed) {
    std::vector<PictureFile> files;
    concrete(seed + 101, files);
    paintedMetal(seed + 202, files);
    brushedMetal(seed + 303, files);
    rust(seed + 404, files);
    rubber(seed + 505, files);
    glass(seed + 606, files);
    lampGlow(seed + 707, files);
    headMetal(seed + 808, files);
    return files;
}

std::vector<PictureFile> turnedTextures(uint32_t seed) {
    std::vector<PictureFile> files;
    lightFalloff(seed + 909, files);
    iris(seed + 1010, files);
    return files;
}

}  // namespace content
