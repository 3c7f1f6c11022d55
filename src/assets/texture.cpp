#include "assets/texture.h"

#include "assets/picture_prefetch.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

void mipmapChain(const unsigned char* pixels, int width, int height, int channels, std::vector<unsigned char>& out) {
    out.clear();
    if (!pixels || width <= 0 || height <= 0 || channels <= 0) return;
    size_t total = 0;
    for (int w = width, h = height; w > 1 || h > 1;) {
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
        total += static_cast<size_t>(w) * h * channels;
    }
    out.reserve(total);
    std::vector<unsigned char> level;
    size_t above = 0;  // where the level above starts in `out`, once there is one
    for (int w = width, h = height; w > 1 || h > 1;) {
        const unsigned char* source = out.empty() ? pixels : out.data() + above;
        int belowWidth = 0, belowHeight = 0;
        halvePicture(source, w, h, channels, level, belowWidth, belowHeight);
        above = out.size();
        out.insert(out.end(), level.begin(), level.end());
        w = belowWidth;
        h = belowHeight;
    }
}

bool decodeMipmapped(const std::string& path, MipmappedPicture& out) {
    releaseMipmapped(out);
    if (!decodePicture(path, out.image)) return false;
    mipmapChain(out.image.pixels, out.image.width, out.image.height, out.image.bitsPerPixel / 8, out.chain);
    return true;
}

void releaseMipmapped(MipmappedPicture& picture) {
    releasePixels(picture.image);
    std::vector<unsigned char>().swap(picture.chain);
}

namespace {
// Levels 1 and below, halved on the CPU (mipmapChain): Mesa's software driver renders every
// level of glGenerateMipmapEXT through its blitter, which cost more than decoding the pictures.
void uploadMipmapChain(const unsigned char* chain, int width, int height, int channels, GLenum format) {
    size_t at = 0;
    for (int level = 1; width > 1 || height > 1; ++level) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE,
                     chain + at);
        at += static_cast<size_t>(width) * height * channels;
    }
}
}  // namespace

Texture::Texture(int w, int h, int bpp, const void* pixels, int wrap, int minFilter, int magFilter, bool mipmaps,
                 const unsigned char* chain)
    : width(w), height(h), bitsPerPixel(bpp), name_(makeGlTexture()) {
    const GLenum format = static_cast<GLenum>(textureFormat(bpp));
    glBindTexture(GL_TEXTURE_2D, name_.get());
    setTextureSampling(GL_TEXTURE_2D, minFilter, magFilter, wrap);
    // Rows are tightly packed; an RGB picture of odd width would break the default alignment.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), w, h, 0, format, GL_UNSIGNED_BYTE, pixels);
    if (mipmaps && pixels && format != 0 && w > 0 && h > 0) {
        std::vector<unsigned char> made;
        if (!chain) {
            mipmapChain(static_cast<const unsigned char*>(pixels), w, h, bpp / 8, made);
            chain = made.data();
        }
        uploadMipmapChain(chain, w, h, bpp / 8, format);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

Texture::Texture(GlTexture name, int w, int h, int bpp)
    : width(w), height(h), bitsPerPixel(bpp), name_(std::move(name)) {}

IDisposable* TextureLoader::load(const char* path, sm::IServiceProvider*) {
    if (!path || !platform::fileExists(path)) return nullptr;
    MipmappedPicture picture;
    bool decoded = false;
    if (!prefetch_ || !prefetch_->take(path, decoded, picture)) decoded = decodeMipmapped(path, picture);
    const DecodedImage& image = picture.image;
    Texture* texture = nullptr;
    if (decoded && image.pixels)
        texture = new Texture(image.width, image.height, image.bitsPerPixel, image.pixels, GL_REPEAT,
                              GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, true, picture.chain.data());
    releaseMipmapped(picture);
    return texture;
}
