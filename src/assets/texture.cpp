#include "assets/texture.h"

#include "assets/picture_prefetch.h"

#include <algorithm>
#include <cstring>

#include "gl/draw.h"
#include "gl/gl.h"
#include "assets/image.h"
#include "platform/platform.h"

int textureFormat(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 8: return GL_ALPHA;
        case 24: return GL_RGB;
        case 32: return GL_RGBA;
        default: return 0;
    }
}

void halvePicture(const unsigned char* pixels, int width, int height, int channels, std::vector<unsigned char>& out,
                  int& outWidth, int& outHeight) {
    outWidth = std::max(1, width / 2);
    outHeight = std::max(1, height / 2);
    const size_t stride = static_cast<size_t>(width) * channels;
    const size_t outStride = static_cast<size_t>(outWidth) * channels;
    out.resize(outStride * outHeight);
    const int nextColumn = width > 1 ? channels : 0;
    for (int y = 0; y < outHeight; ++y) {
        const unsigned char* row0 = pixels + static_cast<size_t>(2 * y) * stride;
        const unsigned char* row1 = height > 1 ? row0 + stride : row0;
        unsigned char* target = out.data() + static_cast<size_t>(y) * outStride;
        for (int x = 0; x < outWidth; ++x) {
            const size_t at = static_cast<size_t>(2 * x) * channels;
            for (int k = 0; k < channels; ++k) {
                const unsigned sum = row0[at + k] + row0[at + k + nextColumn] + row1[at + k] + row1[at + k + nextColumn];
                target[static_cast<size_t>(x) * channels + k] = static_cast<unsigned char>((sum + 2) / 4);
            }
        }
    }
}

namespace {
// Levels 1 and below, halved on the CPU: Mesa's software driver renders every level of
// glGenerateMipmapEXT through its blitter, which cost more than decoding the pictures.
void uploadMipmapChain(const unsigned char* pixels, int width, int height, int channels, GLenum format) {
    if (width <= 0 || height <= 0) return;
    std::vector<unsigned char> above, below;
    const unsigned char* source = pixels;
    for (int level = 1; width > 1 || height > 1; ++level) {
        int w = 0, h = 0;
        halvePicture(source, width, height, channels, below, w, h);
        glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(format), w, h, 0, format, GL_UNSIGNED_BYTE, below.data());
        above.swap(below);
        source = above.data();
        width = w;
        height = h;
    }
}
}  // namespace

Texture::Texture(int w, int h, int bpp, const void* pixels, int wrap, int minFilter, int magFilter, bool mipmaps)
    : width(w), height(h), bitsPerPixel(bpp) {
    const GLenum format = static_cast<GLenum>(textureFormat(bpp));
    glGenTextures(1, &glName);
    glBindTexture(GL_TEXTURE_2D, glName);
    setTextureSampling(GL_TEXTURE_2D, minFilter, magFilter, wrap);
    // Rows are tightly packed; an RGB picture of odd width would break the default alignment.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), w, h, 0, format, GL_UNSIGNED_BYTE, pixels);
    if (mipmaps && pixels && format != 0)
        uploadMipmapChain(static_cast<const unsigned char*>(pixels), w, h, bpp / 8, format);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

Texture::Texture(unsigned name, int w, int h, int bpp) : glName(name), width(w), height(h), bitsPerPixel(bpp) {}

Texture::~Texture() {
    if (glName != 0) glDeleteTextures(1, &glName);
}

IDisposable* TextureLoader::load(const char* path, sm::IServiceProvider*) {
    if (!path || !platform::fileExists(path)) return nullptr;
    DecodedImage image;
    bool decoded = false;
    if (!prefetch_ || !prefetch_->take(path, decoded, image)) decoded = decodePicture(path, image);
    if (!decoded || !image.pixels) return nullptr;
    auto* texture = new Texture(image.width, image.height, image.bitsPerPixel, image.pixels, GL_REPEAT,
                                GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, true);
    releasePixels(image);
    return texture;
}
