#include "gl/gl.h"

#include <cstring>

#include "platform/platform.h"

#define VOLTARESCA_DEFINE_GL(name, type) type vr_##name = nullptr;
VOLTARESCA_GL_EXTENSIONS(VOLTARESCA_DEFINE_GL)
VOLTARESCA_GLSL_ENTRY_POINTS(VOLTARESCA_DEFINE_GL)
#undef VOLTARESCA_DEFINE_GL

namespace {
#define VOLTARESCA_NAME_GL(name, type) #name,
const char* const kNames[] = {VOLTARESCA_GL_EXTENSIONS(VOLTARESCA_NAME_GL)};
#undef VOLTARESCA_NAME_GL
constexpr int kCount = static_cast<int>(sizeof kNames / sizeof kNames[0]);
}  // namespace

const char* const* glExtensionNames() { return kNames; }
int glExtensionCount() { return kCount; }

namespace {

// The extensions the 34 entry points come from, with the first of each group's names.
const struct {
    const char* names[2];  // either will do
    const char* brings;
} kRequired[] = {
    {{"GL_ARB_vertex_buffer_object", nullptr}, "glBindBufferARB and the other buffer-object calls"},
    {{"GL_EXT_framebuffer_object", nullptr}, "glGenFramebuffersEXT, the renderbuffer calls and glGenerateMipmapEXT"},
    {{"GL_ARB_vertex_program", "GL_ARB_vertex_shader"}, "glVertexAttribPointerARB and glEnableVertexAttribArrayARB"},
    {{"GL_ARB_multitexture", nullptr}, "glActiveTextureARB and the multitexture calls"},
};

bool hasExtension(const char* extensions, const char* name) {
    const size_t length = std::strlen(name);
    for (const char* at = extensions; (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool starts = at == extensions || at[-1] == ' ';
        const bool ends = at[length] == ' ' || at[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

}  // namespace

std::string missingGLExtension(const char* extensions) {
    if (!extensions) extensions = "";
    for (const auto& required : kRequired) {
        if (hasExtension(extensions, required.names[0])) continue;
        if (required.names[1] && hasExtension(extensions, required.names[1])) continue;
        return std::string(required.names[0]) + " (for " + required.brings + ")";
    }
    return {};
}

#ifdef __EMSCRIPTEN__
namespace {
// WebGL 2 has what the extensions bring under the core names; the GL room's stand-in gives the
// entry points WebGL 2 has not, or that it must see.
void* webProcAddress(const char* name) {
    if (void* own = compatProcAddress(name)) return own;
    std::string core = name;
    for (const char* suffix : {"ARB", "EXT"})
        if (core.size() > 3 && core.compare(core.size() - 3, 3, suffix) == 0) core.resize(core.size() - 3);
    return platform::glProcAddress(core.c_str());
}
}  // namespace
#define VOLTARESCA_PROC_ADDRESS webProcAddress
#else
#define VOLTARESCA_PROC_ADDRESS platform::glProcAddress
#endif

bool loadGLExtensions(std::string* reason) {
#ifndef __EMSCRIPTEN__
    // Some window systems hand out an address for any name, so the strings decide.
    const std::string missing = missingGLExtension(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
    if (!missing.empty()) {
        if (reason) *reason = "the driver lacks " + missing;
        return false;
    }
#endif
#define VOLTARESCA_FETCH_GL(name, type)                                              \
    vr_##name = reinterpret_cast<type>(VOLTARESCA_PROC_ADDRESS(#name));              \
    if (!vr_##name) {                                                                \
        if (reason) *reason = "the driver gives no address for " #name;              \
        return false;                                                                \
    }
    VOLTARESCA_GL_EXTENSIONS(VOLTARESCA_FETCH_GL)
    return true;
}

bool loadGlslEntryPoints() {
    std::string* reason = nullptr;
    VOLTARESCA_GLSL_ENTRY_POINTS(VOLTARESCA_FETCH_GL)
    return true;
}
#undef VOLTARESCA_FETCH_GL

int glExtensionsLoaded() {
    int n = 0;
#define VOLTARESCA_COUNT_GL(name, type) n += vr_##name != nullptr;
    VOLTARESCA_GL_EXTENSIONS(VOLTARESCA_COUNT_GL)
#undef VOLTARESCA_COUNT_GL
    return n;
}
