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

GlTexture makeGlTexture() {
    GLuint name = 0;
    glGenTextures(1, &name);
    return GlTexture(name);
}
