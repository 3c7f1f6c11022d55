// The GLSL entry points the effect runtime calls. They are not among the program's 34 extension
// entry points, so the runtime fetches its own table when a context is created. Only src/fx
// includes this header; the macros route the usual names through the fetched pointers.
#pragma once

#include "gl/gl.h"

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

#define VOLTARESCA_DECLARE_GLSL(name, type) extern type fx_##name;
VOLTARESCA_GLSL_ENTRY_POINTS(VOLTARESCA_DECLARE_GLSL)
#undef VOLTARESCA_DECLARE_GLSL

#define glCreateShader fx_glCreateShader
#define glShaderSource fx_glShaderSource
#define glCompileShader fx_glCompileShader
#define glGetShaderiv fx_glGetShaderiv
#define glGetShaderInfoLog fx_glGetShaderInfoLog
#define glDeleteShader fx_glDeleteShader
#define glCreateProgram fx_glCreateProgram
#define glAttachShader fx_glAttachShader
#define glLinkProgram fx_glLinkProgram
#define glGetProgramiv fx_glGetProgramiv
#define glGetProgramInfoLog fx_glGetProgramInfoLog
#define glDeleteProgram fx_glDeleteProgram
#define glUseProgram fx_glUseProgram
#define glGetUniformLocation fx_glGetUniformLocation
#define glUniform1i fx_glUniform1i
#define glUniform1fv fx_glUniform1fv
#define glUniform2fv fx_glUniform2fv
#define glUniform3fv fx_glUniform3fv
#define glUniform4fv fx_glUniform4fv
#define glUniformMatrix4fv fx_glUniformMatrix4fv

namespace fx {
// Fetches the table; false when an entry point is missing (the driver has no GLSL).
bool loadGlslEntryPoints();
}  // namespace fx
