// The system's OpenGL headers for the rooms above: OpenGL 1.1, the extension types and GLU.
// On Windows gl.h wants two of windows.h's macros; they are given here so that windows.h itself
// stays inside this room. Anything newer than OpenGL 1.1 is fetched at run time (src/gl).
#pragma once

#ifdef _WIN32
#ifndef APIENTRY
#define APIENTRY __stdcall
#endif
#ifndef WINGDIAPI
#define WINGDIAPI __declspec(dllimport)
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#endif
#endif

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
