#include "gl/gl_name.h"

#include "gl/gl.h"

namespace {

// Only the thread that owns the context makes and deletes names.
unsigned endedContexts = 0;

}  // namespace

void glContextEnds() {
    ++endedContexts;
#ifdef __EMSCRIPTEN__
    compatContextEnds();
#endif
}

unsigned endedGlContexts() { return endedContexts; }

void deleteGlName(GlKind kind, unsigned name) {
    GLuint n = name;
    switch (kind) {
        case GlKind::Texture: glDeleteTextures(1, &n); break;
        // A name of these kinds exists only after the entry points were fetched; the checks
        // keep a program that never fetched them from calling through null.
        case GlKind::Framebuffer:
            if (glDeleteFramebuffersEXT) glDeleteFramebuffersEXT(1, &n);
            break;
        case GlKind::Renderbuffer:
            if (glDeleteRenderbuffersEXT) glDeleteRenderbuffersEXT(1, &n);
            break;
        case GlKind::Buffer:
            if (glDeleteBuffersARB) glDeleteBuffersARB(1, &n);
            break;
    }
}

template <GlKind K>
GlName<K> makeGlName() {
    GLuint name = 0;
    switch (K) {
        case GlKind::Texture: glGenTextures(1, &name); break;
        case GlKind::Framebuffer: glGenFramebuffersEXT(1, &name); break;
        case GlKind::Renderbuffer: glGenRenderbuffersEXT(1, &name); break;
        case GlKind::Buffer: glGenBuffersARB(1, &name); break;
    }
    return GlName<K>(name);
}

template GlTexture makeGlName<GlKind::Texture>();
template GlFramebuffer makeGlName<GlKind::Framebuffer>();
template GlRenderbuffer makeGlName<GlKind::Renderbuffer>();
template GlBuffer makeGlName<GlKind::Buffer>();
