#include "assets/texture.h"

#include <cstring>

#include "app/gl.h"
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

Texture::Texture(int w, int h, int bpp, const void* pixels, int wrap, int minFilter, int magFilter, bool mipmaps)
    : width(w), height(h), bitsPerPixel(bpp) {
    const GLenum format = static_cast<GLenum>(textureFormat(bpp));
    glGenTextures(1, &glName);
    glBindTexture(GL_TEXTURE_2D, glName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    // Rows are tightly packed; an RGB picture of odd width would break the default alignment.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), w, h, 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (mipmaps) glGenerateMipmapEXT(GL_TEXTURE_2D);
}

Texture::Texture(unsigned name, int w, int h, int bpp) : glName(name), width(w), height(h), bitsPerPixel(bpp) {}

Texture::~Texture() {
    if (glName != 0) glDeleteTextures(1, &glName);
}

bool isPngPath(const char* path) {
    const size_t length = std::strlen(path);
    return length >= 3 && path[length - 3] == 'p';
}

IDisposable* TextureLoader::load(const char* path, sm::IServiceProvider*) {
    if (!path || !platform::fileExists(path)) return nullptr;
    DecodedImage image;
    const bool decoded = isPngPath(path) ? decodePng(path, image) : decodeJpeg(path, image);
    if (!decoded || !image.pixels) return nullptr;
    auto* texture = new Texture(image.width, image.height, image.bitsPerPixel, image.pixels, GL_REPEAT,
                                GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, true);
    releasePixels(image);
    return texture;
}
