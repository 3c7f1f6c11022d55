// GL 2-D textures made from PNG and JPEG pictures.
#pragma once

#include <string>
#include <vector>

#include "assets/asset.h"
#include "assets/image.h"
#include "gl/gl_name.h"

class Texture : public IDisposable {
public:
    // Uploads `pixels` (bottom row first) with the format of `bitsPerPixel` (8 alpha, 24 RGB,
    // 32 RGBA) and leaves the texture bound on the active unit. With `mipmaps`, levels 1 and
    // below come from `chain` (as mipmapChain makes them), or are made here when it is null.
    Texture(int width, int height, int bitsPerPixel, const void* pixels, int wrap, int minFilter,
            int magFilter, bool mipmaps, const unsigned char* chain = nullptr);
    // Takes over a GL texture made elsewhere (the off-screen colour targets).
    Texture(GlTexture name, int width, int height, int bitsPerPixel);
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // The GL texture, owned by this asset; others borrow the name.
    unsigned glName() const { return name_.get(); }
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;

private:
    GlTexture name_;
};

// The next mipmap level of a tightly packed picture with `channels` bytes a pixel: max(1, w / 2)
// by max(1, h / 2), each pixel the rounded mean of a 2 x 2 block (the block is clamped at an
// edge of size 1). `out` is resized to fit; `outWidth` and `outHeight` receive the size.
void halvePicture(const unsigned char* pixels, int width, int height, int channels, std::vector<unsigned char>& out,
                  int& outWidth, int& outHeight);

// Levels 1 and below of the mipmap chain of a tightly packed picture, each halvePicture of the
// one above down to 1 x 1, back to back in `out`.
void mipmapChain(const unsigned char* pixels, int width, int height, int channels, std::vector<unsigned char>& out);

// A decoded picture with its mipmap chain: all the work of a texture but the upload, so any
// thread may do it.
struct MipmappedPicture {
    DecodedImage image;
    std::vector<unsigned char> chain;
};
// decodePicture, then mipmapChain of what it decoded.
bool decodeMipmapped(const std::string& path, MipmappedPicture& out);
// Frees the pixels and the chain; safe on an empty picture.
void releaseMipmapped(MipmappedPicture& picture);

// GL_ALPHA, GL_RGB or GL_RGBA for 8, 24 and 32 bits per pixel; 0 for anything else.
int textureFormat(int bitsPerPixel);

class PicturePrefetch;

class TextureLoader : public IAssetLoader {
public:
    // `prefetch` (borrowed, may be null) holds pictures decoded ahead on other threads.
    explicit TextureLoader(PicturePrefetch* prefetch = nullptr) : prefetch_(prefetch) {}
    // Null when the file is missing or cannot be decoded.
    IDisposable* load(const char* path, sm::IServiceProvider* services) override;
    void setPrefetch(PicturePrefetch* prefetch) { prefetch_ = prefetch; }

private:
    PicturePrefetch* prefetch_;
};
