#include "gl/gl.h"

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

bool loadGLExtensions() {
#define VOLTARESCA_FETCH_GL(name, type)                                              \
    vr_##name = reinterpret_cast<type>(platform::glProcAddress(#name));              \
    if (!vr_##name) return false;
    VOLTARESCA_GL_EXTENSIONS(VOLTARESCA_FETCH_GL)
    return true;
}

bool loadGlslEntryPoints() {
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
