// What WebGL 2 lacks of the desktop's OpenGL, for the browser build only (gl/gl.h includes this
// under __EMSCRIPTEN__; the desktop build never sees it). The program's fixed-function calls keep
// their names; the macros below route them to this layer, which keeps the state WebGL 2 has not
// (matrix and attribute stacks, the enables of fixed-function stages, the current colour and
// texture coordinates, client arrays, the bitmap font's lists and raster position) and draws what
// the program draws without a program of its own (immediate-mode quads, the font's glyphs, a part
// drawn with no effect) with one small built-in program: the current matrices, the vertex colour,
// the bound 2-D texture when GL_TEXTURE_2D is enabled (modulated), and the alpha test.
// Programs of the effect runtime read their vertex data from the named inputs of
// gl/vertex_inputs.h, where the client arrays and the immediate-mode vertices are bound.
// Also: a 1-D texture is a 2-D texture of height one, GL_CLAMP is GL_CLAMP_TO_EDGE, the depth
// texture mode is dropped (the comparison lookup gives one value), unsized renderbuffer and depth
// texture formats get WebGL 2's sized ones.
#pragma once

#include "platform/opengl.h"

void vrEnable(GLenum cap);
void vrDisable(GLenum cap);
GLboolean vrIsEnabled(GLenum cap);
void vrGetIntegerv(GLenum pname, GLint* out);
void vrGetFloatv(GLenum pname, GLfloat* out);
void vrMatrixMode(GLenum mode);
void vrLoadIdentity();
void vrLoadMatrixf(const GLfloat* m);
void vrMultMatrixf(const GLfloat* m);
void vrPushMatrix();
void vrPopMatrix();
void vrOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble nearZ, GLdouble farZ);
void vrOrtho2D(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top);
void vrPerspective(GLdouble fovy, GLdouble aspect, GLdouble nearZ, GLdouble farZ);
void vrTranslatef(GLfloat x, GLfloat y, GLfloat z);
void vrRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void vrScalef(GLfloat x, GLfloat y, GLfloat z);
void vrBegin(GLenum mode);
void vrEnd();
void vrVertex3f(GLfloat x, GLfloat y, GLfloat z);
void vrVertex2f(GLfloat x, GLfloat y);
void vrVertex2i(GLint x, GLint y);
void vrTexCoord2f(GLfloat s, GLfloat t);
void vrTexCoord2i(GLint s, GLint t);
void vrColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void vrColor3f(GLfloat r, GLfloat g, GLfloat b);
void vrPushAttrib(GLbitfield mask);
void vrPopAttrib();
void vrAlphaFunc(GLenum func, GLclampf ref);
void vrShadeModel(GLenum mode);
void vrHint(GLenum target, GLenum mode);
void vrClearDepth(GLclampd depth);
void vrEnableClientState(GLenum array);
void vrDisableClientState(GLenum array);
void vrVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void vrNormalPointer(GLenum type, GLsizei stride, const void* pointer);
void vrTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void vrDrawArrays(GLenum mode, GLint first, GLsizei count);
void vrNewList(GLuint list, GLenum mode);
void vrEndList();
void vrBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
              const GLubyte* bitmap);
void vrListBase(GLuint base);
void vrCallLists(GLsizei n, GLenum type, const void* lists);
void vrRasterPos2i(GLint x, GLint y);
void vrBindTexture(GLenum target, GLuint texture);
void vrTexParameteri(GLenum target, GLenum pname, GLint value);
void vrTexImage1D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLint border, GLenum format,
                  GLenum type, const void* pixels);
void vrTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels);

// Entry points of the program's table (gl/gl.h) that WebGL 2 has not, or that this layer must
// see: null for other names. loadGLExtensions and loadGlslEntryPoints ask here first.
void* compatProcAddress(const char* name);

// Called when the context ends: the built-in program and buffers are forgotten (no GL call).
void compatContextEnds();

#ifndef VOLTARESCA_GLES_COMPAT_IMPL
#define glEnable vrEnable
#define glDisable vrDisable
#define glIsEnabled vrIsEnabled
#define glGetIntegerv vrGetIntegerv
#define glGetFloatv vrGetFloatv
#define glMatrixMode vrMatrixMode
#define glLoadIdentity vrLoadIdentity
#define glLoadMatrixf vrLoadMatrixf
#define glMultMatrixf vrMultMatrixf
#define glPushMatrix vrPushMatrix
#define glPopMatrix vrPopMatrix
#define glOrtho vrOrtho
#define gluOrtho2D vrOrtho2D
#define gluPerspective vrPerspective
#define glTranslatef vrTranslatef
#define glRotatef vrRotatef
#define glScalef vrScalef
#define glBegin vrBegin
#define glEnd vrEnd
#define glVertex3f vrVertex3f
#define glVertex2f vrVertex2f
#define glVertex2i vrVertex2i
#define glTexCoord2f vrTexCoord2f
#define glTexCoord2i vrTexCoord2i
#define glColor4f vrColor4f
#define glColor3f vrColor3f
#define glPushAttrib vrPushAttrib
#define glPopAttrib vrPopAttrib
#define glAlphaFunc vrAlphaFunc
#define glShadeModel vrShadeModel
#define glHint vrHint
#define glClearDepth vrClearDepth
#define glEnableClientState vrEnableClientState
#define glDisableClientState vrDisableClientState
#define glVertexPointer vrVertexPointer
#define glNormalPointer vrNormalPointer
#define glTexCoordPointer vrTexCoordPointer
#define glDrawArrays vrDrawArrays
#define glNewList vrNewList
#define glEndList vrEndList
#define glBitmap vrBitmap
#define glListBase vrListBase
#define glCallLists vrCallLists
#define glRasterPos2i vrRasterPos2i
#define glBindTexture vrBindTexture
#define glTexParameteri vrTexParameteri
#define glTexImage1D vrTexImage1D
#define glTexImage2D vrTexImage2D
#endif
