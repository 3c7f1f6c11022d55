// Every picture of the film, made by code and returned as encoded file bytes.
//
// Texture files go to the archive's "textures/" folder; a texture's name is its file name
// without the extension. A grey PNG would load as an alpha-only texture, so every picture here is
// RGB (JPEG or PNG) or RGBA (PNG). Colour pictures that tolerate loss are JPEG; normal maps,
// masks and the monitor text pictures are PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content {

struct PictureFile {
    std::string path;  // relative to the archive root ("textures/rust.jpg"), or a bare file name
    std::vector<unsigned char> bytes;
};

constexpr uint32_t kPictureSeed = 20240607u;

// "loader.jpg": 1280 x 720 title picture of the loading screen. The progress bar is drawn by the
// program over a dark groove at 3 % to 43 % of the width, 2.5 % to 3.7 % of the height from the
// bottom.
std::vector<unsigned char> loaderPicture(uint32_t seed = kPictureSeed);

// "setup.png": 400 x 150 RGB for the setup dialog, fading to black at the bottom edge where the
// dialog's black control band begins.
std::vector<unsigned char> setupPicture(uint32_t seed = kPictureSeed);

// "end": 1280 x 720 JPEG closing title. It is blended with the colour (v, v, v, v) as
// source × source colour + destination × (1 − v), so it holds the square roots of the colours
// meant to be seen at v = 1.
std::vector<unsigned char> endPicture(uint32_t seed = kPictureSeed);

// "mask" (1024 x 576) and "mask_big" (2048 x 1152): RGBA PNG, black, drawn with source-alpha
// blending over the whole window: opaque letterbox bars of kLetterboxBar of the height at top and
// bottom, and a soft vignette between them.
constexpr float kLetterboxBar = 0.11f;
std::vector<unsigned char> maskPicture(int width, int height);

// "tv_noise1".."tv_noise3" (frame 0..2): 320 x 240 JPEG, grey snow with scanlines and a rolling
// band; each frame different.
std::vector<unsigned char> tvNoisePicture(int frame, uint32_t seed = kPictureSeed);

// The closing monitor: 800 x 600 RGB PNG, green phosphor on black, upright as seen on the
// monitor. Index 0 "believe" holds the typed line; 1..4 ("believe_we", "believe_believe",
// "believe_in", "believe_you") one big word each.
// The program hides the typed line behind a black cover from picture column
// kBelieveLineLeft + letters to the right edge, rows 70 to 96 from the top, so the line sits in
// that band on a black background, and "believe_screen.letters" is a width in pixels.
constexpr int kBelieveLineLeft = 77;
extern const char* const kBelieveTypedLine;
extern const char* const kBelievePictureNames[5];
std::vector<unsigned char> believePicture(int index);
// The "letters" values at which 0, 1, 2, ... characters of the typed line are fully shown
// (pixels from kBelieveLineLeft; the last entry shows the whole line).
std::vector<int> believeLetterStops();

// One credits picture per maker: 512 x 384 JPEG, handle and role on a dark monitor background.
struct Credit {
    const char* handle;
    const char* role;
};
extern const std::vector<Credit> kCredits;
std::vector<PictureFile> creditsPictures();  // paths "textures/credits/NN_handle.jpg"

// Material textures, tileable in both directions (u along the picture's width, v along its
// height). Bump maps ("*_bump", PNG) are tangent-space normal maps: RGB = n × 0.5 + 0.5 with x
// along +u, y along +v and z out of the surface. Names and sizes:
//   concrete (JPEG 1024), concrete_bump (512)          walls and floor
//   painted_metal (JPEG 512), painted_metal_bump (512)  2 x 2 riveted panels per tile
//   brushed_metal (JPEG 512)                           bare metal, brushed along u
//   rust (JPEG 512), rust_bump (512)
//   rubber (JPEG 512), rubber_bump (512)               belt: ridges across v, 16 per tile
//   glass (JPEG 512)                                   pale tint with grime; opacity is the material's
//   lamp_glow (JPEG 512)                               bright warm lens with ribs along u
//   head_metal (JPEG 1024)                             dark scratched metal for the head
std::vector<PictureFile> materialTextures(uint32_t seed = kPictureSeed);

// Material textures for turned shapes (lathes, caps of spheres): they tile along u, around the
// axis, while v runs from one end of the shape to the other.
//   light_falloff (PNG RGBA 128)   warm white; alpha rises from nothing at v = 0 to full at v = 1
//   iris (JPEG 256)                amber fibres from the pupil's edge (v = 0) to the iris's rim (v = 1)
std::vector<PictureFile> turnedTextures(uint32_t seed = kPictureSeed);

// Everything that goes into the data archive (textures, credits, screens, "loader.jpg"),
// "setup.png" excluded.
std::vector<PictureFile> archivePictures(uint32_t seed = kPictureSeed);

// Writes each file below `folder` (creating sub-folders); throws std::runtime_error naming the
// file that could not be written.
void writePictureFiles(const std::vector<PictureFile>& files, const std::string& folder);

}  // namespace content
