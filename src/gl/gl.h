// OpenGL for the whole program: the compatibility-profile headers plus the entry points that
// are fetched at run time after the context is current: the 34 extension entry points of the
// demo, and the GLSL entry points of the effect runtime. Code calls them by
// their usual names (glBindBufferARB, glGenFramebuffersEXT, ...); the macros below route those
// names through the fetched pointers.
#pragma once

#include "platform/opengl.h"

#include <string>

// name, pointer type; in the order they are fetched.
#define VOLTARESCA_GL_EXTENSIONS(X)                                       \
    X(glBindBufferARB, PFNGLBINDBUFFERARBPROC)                            \
    X(glDeleteBuffersARB, PFNGLDELETEBUFFERSARBPROC)                      \
    X(glGenBuffersARB, PFNGLGENBUFFERSARBPROC)                            \
    X(glIsBufferARB, PFNGLISBUFFERARBPROC)                                \
    X(glBufferDataARB, PFNGLBUFFERDATAARBPROC)                            \
    X(glBufferSubDataARB, PFNGLBUFFERSUBDATAARBPROC)                      \
    X(glGetBufferSubDataARB, PFNGLGETBUFFERSUBDATAARBPROC)                \
    X(glMapBufferARB, PFNGLMAPBUFFERARBPROC)                              \
    X(glUnmapBufferARB, PFNGLUNMAPBUFFERARBPROC)                          \
    X(glGetBufferParameterivARB, PFNGLGETBUFFERPARAMETERIVARBPROC)        \
    X(glGetBufferPointervARB, PFNGLGETBUFFERPOINTERVARBPROC)              \
    X(glIsRenderbufferEXT, PFNGLISRENDERBUFFEREXTPROC)                    \
    X(glBindRenderbufferEXT, PFNGLBINDRENDERBUFFEREXTPROC)                \
    X(glDeleteRenderbuffersEXT, PFNGLDELETERENDERBUFFERSEXTPROC)          \
    X(glGenRenderbuffersEXT, PFNGLGENRENDERBUFFERSEXTPROC)                \
    X(glRenderbufferStorageEXT, PFNGLRENDERBUFFERSTORAGEEXTPROC)          \
    X(glGetRenderbufferParameterivEXT, PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC) \
    X(glIsFramebufferEXT, PFNGLISFRAMEBUFFEREXTPROC)                      \
    X(glBindFramebufferEXT, PFNGLBINDFRAMEBUFFEREXTPROC)                  \
    X(glDeleteFramebuffersEXT, PFNGLDELETEFRAMEBUFFERSEXTPROC)            \
    X(glGenFramebuffersEXT, PFNGLGENFRAMEBUFFERSEXTPROC)                  \
    X(glCheckFramebufferStatusEXT, PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC)    \
    X(glFramebufferTexture1DEXT, PFNGLFRAMEBUFFERTEXTURE1DEXTPROC)        \
    X(glFramebufferTexture2DEXT, PFNGLFRAMEBUFFERTEXTURE2DEXTPROC)        \
    X(glFramebufferTexture3DEXT, PFNGLFRAMEBUFFERTEXTURE3DEXTPROC)        \
    X(glFramebufferRenderbufferEXT, PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC)  \
    X(glGetFramebufferAttachmentParameterivEXT, PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC) \
    X(glGenerateMipmapEXT, PFNGLGENERATEMIPMAPEXTPROC)                    \
    X(glVertexAttribPointerARB, PFNGLVERTEXATTRIBPOINTERARBPROC)          \
    X(glEnableVertexAttribArrayARB, PFNGLENABLEVERTEXATTRIBARRAYARBPROC)  \
    X(glActiveTextureARB, PFNGLACTIVETEXTUREARBPROC)                      \
    X(glMultiTexCoord1fARB, PFNGLMULTITEXCOORD1FARBPROC)                  \
    X(glMultiTexCoord2fARB, PFNGLMULTITEXCOORD2FARBPROC)                  \
    X(glClientActiveTextureARB, PFNGLCLIENTACTIVETEXTUREARBPROC)

#define VOLTARESCA_DECLARE_GL(name, type) extern type vr_##name;
VOLTARESCA_GL_EXTENSIONS(VOLTARESCA_DECLARE_GL)
#undef VOLTARESCA_DECLARE_GL

#define glBindBufferARB vr_glBindBufferARB
#define glDeleteBuffersARB vr_glDeleteBuffersARB
#define glGenBuffersARB vr_glGenBuffersARB
#define glIsBufferARB vr_glIsBufferARB
#define glBufferDataARB vr_glBufferDataARB
#define glBufferSubDataARB vr_glBufferSubDataARB
#define glGetBufferSubDataARB vr_glGetBufferSubDataARB
#define glMapBufferARB vr_glMapBufferARB
#define glUnmapBufferARB vr_glUnmapBufferARB
#define glGetBufferParameterivARB vr_glGetBufferParameterivARB
#define glGetBufferPointervARB vr_glGetBufferPointervARB
#define glIsRenderbufferEXT vr_glIsRenderbufferEXT
#define glBindRenderbufferEXT vr_glBindRenderbufferEXT
#define glDeleteRenderbuffersEXT vr_glDeleteRenderbuffersEXT
#define glGenRenderbuffersEXT vr_glGenRenderbuffersEXT
#define glRenderbufferStorageEXT vr_glRenderbufferStorageEXT
#define glGetRenderbufferParameterivEXT vr_glGetRenderbufferParameterivEXT
#define glIsFramebufferEXT vr_glIsFramebufferEXT
#define glBindFramebufferEXT vr_glBindFramebufferEXT
#define glDeleteFramebuffersEXT vr_glDeleteFramebuffersEXT
#define glGenFramebuffersEXT vr_glGenFramebuffersEXT
#define glCheckFramebufferStatusEXT vr_glCheckFramebufferStatusEXT
#define glFramebufferTexture1DEXT vr_glFramebufferTexture1DEXT
#define glFramebufferTexture2DEXT vr_glFramebufferTexture2DEXT
#define glFramebufferTexture3DEXT vr_glFramebufferTexture3DEXT
#define glFramebufferRenderbufferEXT vr_glFramebufferRenderbufferEXT
#define glGetFramebufferAttachmentParameterivEXT vr_glGetFramebufferAttachmentParameterivEXT
#define glGenerateMipmapEXT vr_glGenerateMipmapEXT
#define glVertexAttribPointerARB vr_glVertexAttribPointerARB
#define glEnableVertexAttribArrayARB vr_glEnableVertexAttribArrayARB
#define glActiveTextureARB vr_glActiveTextureARB
#define glMultiTexCoord1fARB vr_glMultiTexCoord1fARB
#define glMultiTexCoord2fARB vr_glMultiTexCoord2fARB
#define glClientActiveTextureARB vr_glClientActiveTextureARB

// The GLSL entry points the effect runtime calls, fetched when an effect context is created.
#define VOLTARESCA_GLSL_ENTRY_POINTS(X)                         \
    X(glCreateShader, PFNGLCREATESHADERPROC)                    \
    X(glShaderSource, PFNGLSHADERSOURCEPROC)                    \
    X(glCompileShader, PFNGLCOMPILESHADERPROC)                  \
    X(glGetShaderiv, PFNGLGETSHADERIVPROC)                      \
    X(glGetShaderInfoLog, PFNGLGETSHADERINFOLOGPROC)            \
    X(glDeleteShader, PFNGLDELETESHADERPROC)                    \
    X(glCreateProgram, PFNGLCREATEPROGRAMPROC)                  \
    X(glAttachShader, PFNGLATTACHSHADERPROC)                    \
    X(glLinkProgram, PFNGLLINKPROGRAMPROC)                      \
    X(glGetProgramiv, PFNGLGETPROGRAMIVPROC)                    \
    X(glGetProgramInfoLog, PFNGLGETPROGRAMINFOLOGPROC)          \
    X(glDeleteProgram, PFNGLDELETEPROGRAMPROC)                  \
    X(glUseProgram, PFNGLUSEPROGRAMPROC)                        \
    X(glGetUniformLocation, PFNGLGETUNIFORMLOCATIONPROC)        \
    X(glUniform1i, PFNGLUNIFORM1IPROC)                          \
    X(glUniform1fv, PFNGLUNIFORM1FVPROC)                        \
    X(glUniform2fv, PFNGLUNIFORM2FVPROC)                        \
    X(glUniform3fv, PFNGLUNIFORM3FVPROC)                        \
    X(glUniform4fv, PFNGLUNIFORM4FVPROC)                        \
    X(glUniformMatrix4fv, PFNGLUNIFORMMATRIX4FVPROC)

#define VOLTARESCA_DECLARE_GL(name, type) extern type vr_##name;
VOLTARESCA_GLSL_ENTRY_POINTS(VOLTARESCA_DECLARE_GL)
#undef VOLTARESCA_DECLARE_GL

#define glCreateShader vr_glCreateShader
#define glShaderSource vr_glShaderSource
#define glCompileShader vr_glCompileShader
#define glGetShaderiv vr_glGetShaderiv
#define glGetShaderInfoLog vr_glGetShaderInfoLog
#define glDeleteShader vr_glDeleteShader
#define glCreateProgram vr_glCreateProgram
#define glAttachShader vr_glAttachShader
#define glLinkProgram vr_glLinkProgram
#define glGetProgramiv vr_glGetProgramiv
#define glGetProgramInfoLog vr_glGetProgramInfoLog
#define glDeleteProgram vr_glDeleteProgram
#define glUseProgram vr_glUseProgram
#define glGetUniformLocation vr_glGetUniformLocation
#define glUniform1i vr_glUniform1i
#define glUniform1fv vr_glUniform1fv
#define glUniform2fv vr_glUniform2fv
#define glUniform3fv vr_glUniform3fv
#define glUniform4fv vr_glUniform4fv
#define glUniformMatrix4fv vr_glUniformMatrix4fv

// Fetches the 34 entry points in table order; stops at the first missing one (later pointers
// stay null) and returns false. Needs a current context.
// Before fetching, the driver's extension string must name every extension the entry points
// belong to; otherwise `reason` (when given) names the first one missing.
bool loadGLExtensions(std::string* reason = nullptr);
// The first extension of the entry points' that `extensions` (a GL_EXTENSIONS string) lacks,
// with the entry points it would bring; empty when none is missing.
std::string missingGLExtension(const char* extensions);
// Names of the entry points in the order they are fetched, and how many are set now.
const char* const* glExtensionNames();
int glExtensionCount();
int glExtensionsLoaded();
// Fetches the GLSL entry points; false at the first one missing.
bool loadGlslEntryPoints();

#ifdef __EMSCRIPTEN__
// WebGL 2 in the browser: the fixed-function calls go through the GL room's stand-in.
#include "gl/gles_compat.h"
#endif
