// The browser build's stand-in for the fixed-function OpenGL that WebGL 2 lacks (see the header).
// Compiled only for the web; it calls WebGL 2 through Emscripten's OpenGL ES 3 functions.
#define VOLTARESCA_GLES_COMPAT_IMPL
#define GL_GLEXT_PROTOTYPES
#include "gl/gles_compat.h"

#include <GLES3/gl3.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/log.h"
#include "gl/vertex_inputs.h"

namespace {

constexpr int kColourInput = 4;  // the built-in program's vertex colour

// Column-major like OpenGL's.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = s;
        }
    return r;
}

struct Vertex {
    float position[4];
    float texCoord0[4];
    float texCoord1[4];
    float colour[4];
};

// What glPushAttrib keeps, for the bits the program pushes.
struct Attributes {
    GLbitfield mask = 0;
    std::map<GLenum, bool> enables;
    GLboolean depthMask = GL_TRUE;
    GLint depthFunc = GL_LESS;
    float clearDepth = 1;
    float colour[4] = {1, 1, 1, 1};
    int rasterPos[2] = {0, 0};
    bool rasterValid = true;
    float rasterColour[4] = {1, 1, 1, 1};
    GLint viewport[4] = {0, 0, 0, 0};
    GLint blendSrc = GL_ONE, blendDst = GL_ZERO;
    GLboolean colourMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    float clearColour[4] = {0, 0, 0, 0};
    GLenum alphaFunc = GL_ALWAYS;
    float alphaRef = 0;
    GLuint listBase = 0;
};

struct ClientArray {
    bool enabled = false;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLsizei stride = 0;
    const void* pointer = nullptr;
};

struct State {
    GLenum matrixMode = GL_MODELVIEW;
    std::vector<Matrix> modelView{Matrix()}, projection{Matrix()}, texture{Matrix()};
    // Fixed-function enables WebGL 2 has not; the others go to WebGL and are read back from it.
    bool texture2D = false, texture1D = false, lighting = false, alphaTest = false, normalize = false;
    GLenum alphaFunc = GL_ALWAYS;
    float alphaRef = 0;
    float colour[4] = {1, 1, 1, 1};
    float texCoord[2][4] = {{0, 0, 0, 1}, {0, 0, 0, 1}};
    float clearDepth = 1;
    std::vector<Attributes> attributeStack;
    GLenum beginMode = 0;
    std::vector<Vertex> vertices;
    ClientArray vertexArray, normalArray, texCoordArray[2];
    int clientTexture = 0;
    GLuint program = 0;  // the program the caller uses, 0 for the fixed-function stand-in
    // The bitmap font: each list's glyph (one byte per row, bottom row first).
    GLuint listBase = 0;
    GLuint compiling = 0;
    std::map<GLuint, std::vector<unsigned char>> glyphs;
    int glyphWidth = 8, glyphHeight = 13;
    float glyphOrigin[2] = {0, 0}, glyphMove[2] = {8, 0};
    float rasterPos[2] = {0, 0};
    bool rasterValid = true;
    float rasterColour[4] = {1, 1, 1, 1};
    // The built-in program and its stream buffer; the glyph atlas.
    GLuint builtin = 0, stream = 0, vertexArrayObject = 0, atlas = 0;
    GLint uMatrix = -1, uTextured = -1, uAlphaFunc = -1, uAlphaRef = -1, uSampler = -1;
    bool atlasDirty = true;
};

State& state() {
    static State s;
    return s;
}

std::vector<Matrix>& currentStack() {
    State& s = state();
    if (s.matrixMode == GL_PROJECTION) return s.projection;
    if (s.matrixMode == GL_TEXTURE) return s.texture;
    return s.modelView;
}

Matrix& current() { return currentStack().back(); }

const char* const kBuiltinVertex =
    "#version 300 es\n"
    "layout(location = 0) in vec4 position;\n"
    "layout(location = 2) in vec4 texCoord;\n"
    "layout(location = 4) in vec4 colour;\n"
    "uniform mat4 matrix;\n"
    "out vec2 uv;\n"
    "out vec4 tint;\n"
    "void main() { uv = texCoord.xy; tint = colour; gl_Position = matrix * position; }\n";
// alphaFunc: 0 never, 1 less, 2 equal, 3 lequal, 4 greater, 5 notequal, 6 gequal, 7 always.
const char* const kBuiltinFragment =
    "#version 300 es\n"
    "precision highp float;\n"
    "in vec2 uv;\n"
    "in vec4 tint;\n"
    "uniform sampler2D sampler;\n"
    "uniform int textured;\n"
    "uniform int alphaFunc;\n"
    "uniform float alphaRef;\n"
    "out vec4 colour;\n"
    "void main() {\n"
    "    vec4 c = tint;\n"
    "    if (textured == 1) c *= texture(sampler, uv);\n"
    "    float a = c.a;\n"
    "    bool pass = alphaFunc == 7 || (alphaFunc == 1 && a < alphaRef) || (alphaFunc == 2 && a == alphaRef)\n"
    "        || (alphaFunc == 3 && a <= alphaRef) || (alphaFunc == 4 && a > alphaRef)\n"
    "        || (alphaFunc == 5 && a != alphaRef) || (alphaFunc == 6 && a >= alphaRef);\n"
    "    if (!pass) discard;\n"
    "    colour = c;\n"
    "}\n";

// The driver's log of a shader or program that did not build, for the error line.
std::string buildLog(GLuint name, bool program) {
    char text[1024] = {};
    if (program) glGetProgramInfoLog(name, sizeof text, nullptr, text);
    else glGetShaderInfoLog(name, sizeof text, nullptr, text);
    return text;
}

GLuint compile(GLenum stage, const char* text) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok)
        logError(std::string("the GL stand-in's built-in ") + (stage == GL_VERTEX_SHADER ? "vertex" : "fragment") +
                 " shader did not compile (what it draws without an effect will be missing): " + buildLog(shader, false));
    return shader;
}

void ensureBuiltin() {
    State& s = state();
    if (s.builtin) return;
    GLuint v = compile(GL_VERTEX_SHADER, kBuiltinVertex);
    GLuint f = compile(GL_FRAGMENT_SHADER, kBuiltinFragment);
    s.builtin = glCreateProgram();
    glAttachShader(s.builtin, v);
    glAttachShader(s.builtin, f);
    glLinkProgram(s.builtin);
    GLint linked = GL_FALSE;
    glGetProgramiv(s.builtin, GL_LINK_STATUS, &linked);
    if (!linked)
        logError("the GL stand-in's built-in program did not link (what it draws without an effect will be missing): " +
                 buildLog(s.builtin, true));
    glDeleteShader(v);
    glDeleteShader(f);
    s.uMatrix = glGetUniformLocation(s.builtin, "matrix");
    s.uTextured = glGetUniformLocation(s.builtin, "textured");
    s.uAlphaFunc = glGetUniformLocation(s.builtin, "alphaFunc");
    s.uAlphaRef = glGetUniformLocation(s.builtin, "alphaRef");
    s.uSampler = glGetUniformLocation(s.builtin, "sampler");
    glGenBuffers(1, &s.stream);
    // WebGL 2 draws from the default vertex array object; one of our own is not needed.
}

// Binds the built-in program for a draw with the current fixed-function state (when the caller
// uses none of its own); returns whether it did, so the caller restores the program.
bool useBuiltinIfNone(bool textured) {
    State& s = state();
    if (s.program) return false;
    ensureBuiltin();
    glUseProgram(s.builtin);
    const Matrix mvp = multiply(s.projection.back(), s.modelView.back());
    glUniformMatrix4fv(s.uMatrix, 1, GL_FALSE, mvp.m);
    glUniform1i(s.uTextured, textured ? 1 : 0);
    glUniform1i(s.uAlphaFunc, s.alphaTest ? static_cast<int>(s.alphaFunc - GL_NEVER) : 7);
    glUniform1f(s.uAlphaRef, s.alphaRef);
    glUniform1i(s.uSampler, 0);
    return true;
}

void endBuiltin(bool used) {
    if (used) glUseProgram(0);
}

// Draws vertices from memory: triangles, with every named input the effect programs and the
// built-in one read.
void drawVertices(const std::vector<Vertex>& vertices, bool textured) {
    if (vertices.empty()) return;
    State& s = state();
    ensureBuiltin();
    GLint previousBuffer = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previousBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, s.stream);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)), vertices.data(),
                 GL_STREAM_DRAW);
    const GLsizei stride = sizeof(Vertex);
    const struct {
        int input;
        size_t offset;
    } inputs[] = {{kVertexInputPosition, offsetof(Vertex, position)},
                  {kVertexInputTexCoord0, offsetof(Vertex, texCoord0)},
                  {kVertexInputTexCoord1, offsetof(Vertex, texCoord1)},
                  {kColourInput, offsetof(Vertex, colour)}};
    for (const auto& in : inputs) {
        glEnableVertexAttribArray(static_cast<GLuint>(in.input));
        glVertexAttribPointer(static_cast<GLuint>(in.input), 4, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(in.offset));
    }
    // Programs that read a normal get one pointing at the viewer.
    glDisableVertexAttribArray(kVertexInputNormal);
    glVertexAttrib3f(kVertexInputNormal, 0, 0, 1);
    const bool builtin = useBuiltinIfNone(textured);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    endBuiltin(builtin);
    for (const auto& in : inputs) glDisableVertexAttribArray(static_cast<GLuint>(in.input));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(previousBuffer));
}

void pushVertex(float x, float y, float z) {
    State& s = state();
    Vertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.position[3] = 1;
    std::memcpy(v.texCoord0, s.texCoord[0], sizeof v.texCoord0);
    std::memcpy(v.texCoord1, s.texCoord[1], sizeof v.texCoord1);
    std::memcpy(v.colour, s.colour, sizeof v.colour);
    s.vertices.push_back(v);
}

bool* fixedEnable(GLenum cap) {
    State& s = state();
    switch (cap) {
    case GL_TEXTURE_2D: return &s.texture2D;
    case GL_TEXTURE_1D: return &s.texture1D;
    case GL_LIGHTING: return &s.lighting;
    case GL_ALPHA_TEST: return &s.alphaTest;
    case GL_NORMALIZE: return &s.normalize;
    default: return nullptr;
    }
}

const GLenum kWebEnables[] = {GL_DEPTH_TEST, GL_BLEND, GL_CULL_FACE, GL_POLYGON_OFFSET_FILL, GL_SCISSOR_TEST};
const GLenum kFixedEnables[] = {GL_TEXTURE_2D, GL_TEXTURE_1D, GL_LIGHTING, GL_ALPHA_TEST, GL_NORMALIZE};

// The glyph atlas: one row of cells, one per list that holds a glyph, as an alpha mask.
constexpr int kAtlasCells = 256;

void buildAtlas() {
    State& s = state();
    if (!s.atlasDirty && s.atlas) return;
    const int w = s.glyphWidth * kAtlasCells, h = s.glyphHeight;
    std::vector<unsigned char> rgba(static_cast<size_t>(w * h * 4), 0);
    for (const auto& g : s.glyphs) {
        const int cell = static_cast<int>((g.first - s.listBase) & 0xff);
        const int rowBytes = (s.glyphWidth + 7) / 8;
        for (int y = 0; y < s.glyphHeight; ++y)
            for (int x = 0; x < s.glyphWidth; ++x) {
                const size_t at = static_cast<size_t>(y * rowBytes + x / 8);
                const bool on = at < g.second.size() && (g.second[at] & (0x80 >> (x % 8)));
                unsigned char* texel = &rgba[static_cast<size_t>(((y * w) + cell * s.glyphWidth + x) * 4)];
                texel[0] = texel[1] = texel[2] = 255;
                texel[3] = on ? 255 : 0;
            }
    }
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    if (!s.atlas) glGenTextures(1, &s.atlas);
    glBindTexture(GL_TEXTURE_2D, s.atlas);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    s.atlasDirty = false;
}

}  // namespace

void vrEnable(GLenum cap) {
    if (bool* flag = fixedEnable(cap)) *flag = true;
    else glEnable(cap);
}

void vrDisable(GLenum cap) {
    if (bool* flag = fixedEnable(cap)) *flag = false;
    else glDisable(cap);
}

GLboolean vrIsEnabled(GLenum cap) {
    if (bool* flag = fixedEnable(cap)) return *flag ? GL_TRUE : GL_FALSE;
    return glIsEnabled(cap);
}

void vrGetIntegerv(GLenum pname, GLint* out) {
    State& s = state();
    switch (pname) {
    case GL_BLEND_SRC: glGetIntegerv(GL_BLEND_SRC_RGB, out); return;
    case GL_BLEND_DST: glGetIntegerv(GL_BLEND_DST_RGB, out); return;
    case GL_ALPHA_TEST_FUNC: *out = static_cast<GLint>(s.alphaFunc); return;
    case GL_MATRIX_MODE: *out = static_cast<GLint>(s.matrixMode); return;
    case GL_LIST_BASE: *out = static_cast<GLint>(s.listBase); return;
    case GL_TEXTURE_BINDING_1D: glGetIntegerv(GL_TEXTURE_BINDING_2D, out); return;
    default: glGetIntegerv(pname, out);
    }
}

void vrGetFloatv(GLenum pname, GLfloat* out) {
    State& s = state();
    switch (pname) {
    case GL_ALPHA_TEST_REF: *out = s.alphaRef; return;
    case GL_MODELVIEW_MATRIX: std::memcpy(out, s.modelView.back().m, sizeof(float) * 16); return;
    case GL_PROJECTION_MATRIX: std::memcpy(out, s.projection.back().m, sizeof(float) * 16); return;
    case GL_CURRENT_COLOR: std::memcpy(out, s.colour, sizeof s.colour); return;
    default: glGetFloatv(pname, out);
    }
}

void vrMatrixMode(GLenum mode) { state().matrixMode = mode; }
void vrLoadIdentity() { current() = Matrix(); }
void vrLoadMatrixf(const GLfloat* m) { std::memcpy(current().m, m, sizeof(float) * 16); }
void vrMultMatrixf(const GLfloat* m) {
    Matrix b;
    std::memcpy(b.m, m, sizeof b.m);
    current() = multiply(current(), b);
}
void vrPushMatrix() {
    auto& stack = currentStack();
    stack.push_back(stack.back());
}
void vrPopMatrix() {
    auto& stack = currentStack();
    if (stack.size() > 1) stack.pop_back();
}

void vrOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    Matrix o;
    o.m[0] = static_cast<float>(2 / (r - l));
    o.m[5] = static_cast<float>(2 / (t - b));
    o.m[10] = static_cast<float>(-2 / (f - n));
    o.m[12] = static_cast<float>(-(r + l) / (r - l));
    o.m[13] = static_cast<float>(-(t + b) / (t - b));
    o.m[14] = static_cast<float>(-(f + n) / (f - n));
    vrMultMatrixf(o.m);
}

void vrOrtho2D(GLdouble l, GLdouble r, GLdouble b, GLdouble t) { vrOrtho(l, r, b, t, -1, 1); }

void vrPerspective(GLdouble fovy, GLdouble aspect, GLdouble n, GLdouble f) {
    const double c = 1 / std::tan(fovy * M_PI / 360);
    Matrix p;
    p.m[0] = static_cast<float>(c / aspect);
    p.m[5] = static_cast<float>(c);
    p.m[10] = static_cast<float>((f + n) / (n - f));
    p.m[11] = -1;
    p.m[14] = static_cast<float>(2 * f * n / (n - f));
    p.m[15] = 0;
    vrMultMatrixf(p.m);
}

void vrTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    vrMultMatrixf(t.m);
}

void vrRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    const float len = std::sqrt(x * x + y * y + z * z);
    if (len == 0) return;
    x /= len;
    y /= len;
    z /= len;
    const float a = angle * static_cast<float>(M_PI) / 180, c = std::cos(a), s = std::sin(a), k = 1 - c;
    Matrix r;
    r.m[0] = x * x * k + c;
    r.m[1] = y * x * k + z * s;
    r.m[2] = x * z * k - y * s;
    r.m[4] = x * y * k - z * s;
    r.m[5] = y * y * k + c;
    r.m[6] = y * z * k + x * s;
    r.m[8] = x * z * k + y * s;
    r.m[9] = y * z * k - x * s;
    r.m[10] = z * z * k + c;
    vrMultMatrixf(r.m);
}

void vrScalef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix m;
    m.m[0] = x;
    m.m[5] = y;
    m.m[10] = z;
    vrMultMatrixf(m.m);
}

void vrBegin(GLenum mode) {
    State& s = state();
    s.beginMode = mode;
    s.vertices.clear();
}

void vrEnd() {
    State& s = state();
    std::vector<Vertex> triangles;
    const std::vector<Vertex>& v = s.vertices;
    if (s.beginMode == GL_QUADS) {
        for (size_t i = 0; i + 3 < v.size(); i += 4) {
            const size_t order[6] = {i, i + 1, i + 2, i, i + 2, i + 3};
            for (size_t k : order) triangles.push_back(v[k]);
        }
    } else if (s.beginMode == GL_TRIANGLES) {
        triangles.assign(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 3 * 3));
    } else if (s.beginMode == GL_TRIANGLE_STRIP || s.beginMode == GL_QUAD_STRIP) {
        for (size_t i = 0; i + 2 < v.size(); ++i) {
            const bool odd = i % 2 == 1;
            triangles.push_back(v[odd ? i + 1 : i]);
            triangles.push_back(v[odd ? i : i + 1]);
            triangles.push_back(v[i + 2]);
        }
    } else if (s.beginMode == GL_TRIANGLE_FAN || s.beginMode == GL_POLYGON) {
        for (size_t i = 1; i + 1 < v.size(); ++i) {
            triangles.push_back(v[0]);
            triangles.push_back(v[i]);
            triangles.push_back(v[i + 1]);
        }
    }
    drawVertices(triangles, s.texture2D);
    s.vertices.clear();
    s.beginMode = 0;
}

void vrVertex3f(GLfloat x, GLfloat y, GLfloat z) { pushVertex(x, y, z); }
void vrVertex2f(GLfloat x, GLfloat y) { pushVertex(x, y, 0); }
void vrVertex2i(GLint x, GLint y) { pushVertex(static_cast<float>(x), static_cast<float>(y), 0); }
void vrTexCoord2f(GLfloat s, GLfloat t) {
    float* tc = state().texCoord[0];
    tc[0] = s;
    tc[1] = t;
    tc[2] = 0;
    tc[3] = 1;
}
void vrTexCoord2i(GLint s, GLint t) { vrTexCoord2f(static_cast<float>(s), static_cast<float>(t)); }
void vrColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    float* c = state().colour;
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
}
void vrColor3f(GLfloat r, GLfloat g, GLfloat b) { vrColor4f(r, g, b, 1); }

void vrPushAttrib(GLbitfield mask) {
    State& s = state();
    Attributes a;
    a.mask = mask;
    if (mask & GL_ENABLE_BIT) {
        for (GLenum cap : kWebEnables) a.enables[cap] = glIsEnabled(cap) == GL_TRUE;
        for (GLenum cap : kFixedEnables) a.enables[cap] = *fixedEnable(cap);
    }
    if (mask & GL_DEPTH_BUFFER_BIT) {
        a.enables[GL_DEPTH_TEST] = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &a.depthMask);
        glGetIntegerv(GL_DEPTH_FUNC, &a.depthFunc);
        a.clearDepth = s.clearDepth;
    }
    if (mask & GL_CURRENT_BIT) {
        std::memcpy(a.colour, s.colour, sizeof a.colour);
        std::memcpy(a.rasterColour, s.rasterColour, sizeof a.rasterColour);
        a.rasterPos[0] = static_cast<int>(s.rasterPos[0]);
        a.rasterPos[1] = static_cast<int>(s.rasterPos[1]);
        a.rasterValid = s.rasterValid;
    }
    if (mask & GL_VIEWPORT_BIT) glGetIntegerv(GL_VIEWPORT, a.viewport);
    if (mask & GL_COLOR_BUFFER_BIT) {
        a.enables[GL_BLEND] = glIsEnabled(GL_BLEND) == GL_TRUE;
        a.enables[GL_ALPHA_TEST] = s.alphaTest;
        glGetIntegerv(GL_BLEND_SRC_RGB, &a.blendSrc);
        glGetIntegerv(GL_BLEND_DST_RGB, &a.blendDst);
        glGetBooleanv(GL_COLOR_WRITEMASK, a.colourMask);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, a.clearColour);
        a.alphaFunc = s.alphaFunc;
        a.alphaRef = s.alphaRef;
    }
    if (mask & GL_LIST_BIT) a.listBase = s.listBase;
    s.attributeStack.push_back(a);
}

void vrPopAttrib() {
    State& s = state();
    if (s.attributeStack.empty()) return;
    const Attributes a = s.attributeStack.back();
    s.attributeStack.pop_back();
    for (const auto& e : a.enables) {
        if (e.second) vrEnable(e.first);
        else vrDisable(e.first);
    }
    if (a.mask & GL_DEPTH_BUFFER_BIT) {
        glDepthMask(a.depthMask);
        glDepthFunc(static_cast<GLenum>(a.depthFunc));
        vrClearDepth(a.clearDepth);
    }
    if (a.mask & GL_CURRENT_BIT) {
        std::memcpy(s.colour, a.colour, sizeof s.colour);
        std::memcpy(s.rasterColour, a.rasterColour, sizeof s.rasterColour);
        s.rasterPos[0] = static_cast<float>(a.rasterPos[0]);
        s.rasterPos[1] = static_cast<float>(a.rasterPos[1]);
        s.rasterValid = a.rasterValid;
    }
    if (a.mask & GL_VIEWPORT_BIT) glViewport(a.viewport[0], a.viewport[1], a.viewport[2], a.viewport[3]);
    if (a.mask & GL_COLOR_BUFFER_BIT) {
        glBlendFunc(static_cast<GLenum>(a.blendSrc), static_cast<GLenum>(a.blendDst));
        glColorMask(a.colourMask[0], a.colourMask[1], a.colourMask[2], a.colourMask[3]);
        glClearColor(a.clearColour[0], a.clearColour[1], a.clearColour[2], a.clearColour[3]);
        s.alphaFunc = a.alphaFunc;
        s.alphaRef = a.alphaRef;
    }
    if (a.mask & GL_LIST_BIT) s.listBase = a.listBase;
}

void vrAlphaFunc(GLenum func, GLclampf ref) {
    state().alphaFunc = func;
    state().alphaRef = ref;
}

// WebGL 2 always shades smoothly and has no such hints.
void vrShadeModel(GLenum) {}
void vrHint(GLenum target, GLenum mode) {
    if (target == GL_GENERATE_MIPMAP_HINT || target == GL_FRAGMENT_SHADER_DERIVATIVE_HINT) glHint(target, mode);
}

void vrClearDepth(GLclampd depth) {
    state().clearDepth = static_cast<float>(depth);
    glClearDepthf(static_cast<float>(depth));
}

namespace {
ClientArray* clientArray(GLenum array) {
    State& s = state();
    switch (array) {
    case GL_VERTEX_ARRAY: return &s.vertexArray;
    case GL_NORMAL_ARRAY: return &s.normalArray;
    case GL_TEXTURE_COORD_ARRAY: return &s.texCoordArray[s.clientTexture];
    default: return nullptr;
    }
}

void setArray(GLuint input, const ClientArray& a) {
    if (!a.enabled) {
        glDisableVertexAttribArray(input);
        return;
    }
    glEnableVertexAttribArray(input);
    glVertexAttribPointer(input, a.size, a.type, GL_FALSE, a.stride, a.pointer);
}
}  // namespace

void vrEnableClientState(GLenum array) {
    if (ClientArray* a = clientArray(array)) a->enabled = true;
}
void vrDisableClientState(GLenum array) {
    if (ClientArray* a = clientArray(array)) a->enabled = false;
}
// The pointers are offsets into the bound array buffer (the model keeps its vertices in buffers);
// they are handed to WebGL at the draw, while that buffer is still bound.
void vrVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    state().vertexArray = {state().vertexArray.enabled, size, type, stride, pointer};
    setArray(kVertexInputPosition, state().vertexArray);
}
void vrNormalPointer(GLenum type, GLsizei stride, const void* pointer) {
    state().normalArray = {state().normalArray.enabled, 3, type, stride, pointer};
    setArray(kVertexInputNormal, state().normalArray);
}
void vrTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    State& s = state();
    s.texCoordArray[s.clientTexture] = {s.texCoordArray[s.clientTexture].enabled, size, type, stride, pointer};
    setArray(static_cast<GLuint>(kVertexInputTexCoord0 + s.clientTexture), s.texCoordArray[s.clientTexture]);
}

void vrDrawArrays(GLenum mode, GLint first, GLsizei count) {
    State& s = state();
    setArray(kVertexInputPosition, s.vertexArray);
    setArray(kVertexInputNormal, s.normalArray);
    setArray(kVertexInputTexCoord0, s.texCoordArray[0]);
    setArray(kVertexInputTexCoord1, s.texCoordArray[1]);
    glDisableVertexAttribArray(kColourInput);
    glVertexAttrib4fv(kColourInput, s.colour);
    if (!s.texCoordArray[0].enabled) glVertexAttrib4fv(kVertexInputTexCoord0, s.texCoord[0]);
    if (!s.texCoordArray[1].enabled) glVertexAttrib4fv(kVertexInputTexCoord1, s.texCoord[1]);
    const bool builtin = useBuiltinIfNone(s.texture2D);
    glDrawArrays(mode, first, count);
    endBuiltin(builtin);
    for (GLuint input = 0; input <= static_cast<GLuint>(kColourInput); ++input) glDisableVertexAttribArray(input);
}

void vrNewList(GLuint list, GLenum) { state().compiling = list; }
void vrEndList() { state().compiling = 0; }

void vrBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
              const GLubyte* bitmap) {
    State& s = state();
    if (!s.compiling) return;  // the program draws bitmaps only through the font's lists
    s.glyphWidth = width;
    s.glyphHeight = height;
    s.glyphOrigin[0] = xorig;
    s.glyphOrigin[1] = yorig;
    s.glyphMove[0] = xmove;
    s.glyphMove[1] = ymove;
    const size_t bytes = static_cast<size_t>((width + 7) / 8 * height);
    s.glyphs[s.compiling].assign(bitmap, bitmap + bytes);
    s.atlasDirty = true;
}

void vrListBase(GLuint base) {
    State& s = state();
    if (s.listBase != base) s.atlasDirty = true;
    s.listBase = base;
}

void vrRasterPos2i(GLint x, GLint y) {
    State& s = state();
    // The window position of (x, y) under the current matrices and viewport.
    const Matrix mvp = multiply(s.projection.back(), s.modelView.back());
    float clip[4];
    for (int r = 0; r < 4; ++r) clip[r] = mvp.m[r] * x + mvp.m[4 + r] * y + mvp.m[12 + r];
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    s.rasterValid = clip[3] != 0;
    if (s.rasterValid) {
        s.rasterPos[0] = viewport[0] + (clip[0] / clip[3] + 1) * 0.5f * static_cast<float>(viewport[2]);
        s.rasterPos[1] = viewport[1] + (clip[1] / clip[3] + 1) * 0.5f * static_cast<float>(viewport[3]);
    }
    std::memcpy(s.rasterColour, s.colour, sizeof s.rasterColour);
}

void vrCallLists(GLsizei n, GLenum type, const void* lists) {
    State& s = state();
    if (type != GL_UNSIGNED_BYTE || !s.rasterValid) return;
    buildAtlas();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float cellU = 1.0f / kAtlasCells;
    std::vector<Vertex> quads;
    const unsigned char* codes = static_cast<const unsigned char*>(lists);
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint list = s.listBase + codes[i];
        if (s.glyphs.count(list)) {
            const int cell = static_cast<int>((list - s.listBase) & 0xff);
            // Window coordinates to clip space, drawn with identity matrices below.
            const float x0 = s.rasterPos[0] - s.glyphOrigin[0], y0 = s.rasterPos[1] - s.glyphOrigin[1];
            const float x1 = x0 + static_cast<float>(s.glyphWidth), y1 = y0 + static_cast<float>(s.glyphHeight);
            const auto toClip = [&](float x, float y, float* p) {
                p[0] = (x - static_cast<float>(viewport[0])) / static_cast<float>(viewport[2]) * 2 - 1;
                p[1] = (y - static_cast<float>(viewport[1])) / static_cast<float>(viewport[3]) * 2 - 1;
                p[2] = 0;
                p[3] = 1;
            };
            const float u0 = static_cast<float>(cell) * cellU, u1 = u0 + cellU;
            // Rows are stored bottom first, as glBitmap reads them: v 0 is the bottom row.
            const float corners[4][4] = {{x0, y0, u0, 0}, {x1, y0, u1, 0}, {x1, y1, u1, 1}, {x0, y1, u0, 1}};
            const int order[6] = {0, 1, 2, 0, 2, 3};
            for (int k : order) {
                Vertex v = {};
                toClip(corners[k][0], corners[k][1], v.position);
                v.texCoord0[0] = corners[k][2];
                v.texCoord0[1] = corners[k][3];
                v.texCoord0[3] = 1;
                std::memcpy(v.colour, s.rasterColour, sizeof v.colour);
                quads.push_back(v);
            }
        }
        s.rasterPos[0] += s.glyphMove[0];
        s.rasterPos[1] += s.glyphMove[1];
    }
    if (quads.empty()) return;
    // Glyphs cover only their set pixels, as glBitmap does: the built-in alpha test drops the rest.
    const std::vector<Matrix> modelView = s.modelView, projection = s.projection;
    const bool texture2D = s.texture2D, alphaTest = s.alphaTest;
    const GLenum alphaFunc = s.alphaFunc;
    const float alphaRef = s.alphaRef;
    const GLuint program = s.program;
    s.modelView = {Matrix()};
    s.projection = {Matrix()};
    s.alphaTest = true;
    s.alphaFunc = GL_GREATER;
    s.alphaRef = 0.5f;
    s.program = 0;
    GLint activeTexture = 0, previousTexture = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glBindTexture(GL_TEXTURE_2D, s.atlas);
    drawVertices(quads, true);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
    glActiveTexture(static_cast<GLenum>(activeTexture));
    s.modelView = modelView;
    s.projection = projection;
    s.texture2D = texture2D;
    s.alphaTest = alphaTest;
    s.alphaFunc = alphaFunc;
    s.alphaRef = alphaRef;
    s.program = program;
}

void vrBindTexture(GLenum target, GLuint texture) {
    glBindTexture(target == GL_TEXTURE_1D ? GL_TEXTURE_2D : target, texture);
}

void vrTexParameteri(GLenum target, GLenum pname, GLint value) {
    if (target == GL_TEXTURE_1D) target = GL_TEXTURE_2D;
    if (pname == GL_DEPTH_TEXTURE_MODE || pname == GL_GENERATE_MIPMAP) return;
    if ((pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T || pname == GL_TEXTURE_WRAP_R) && value == GL_CLAMP)
        value = GL_CLAMP_TO_EDGE;
    glTexParameteri(target, pname, value);
}

// A 1-D texture of one channel as floats (the film's noise): a 2-D texture of height one with
// the channel in red, green and blue, clamped to [0, 1] as the desktop's normalised format does.
void vrTexImage1D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLint border, GLenum format,
                  GLenum type, const void* pixels) {
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * 4, 255);
    if (pixels && type == GL_FLOAT && (format == GL_LUMINANCE || format == GL_RED)) {
        const float* in = static_cast<const float*>(pixels);
        for (GLsizei i = 0; i < width; ++i) {
            const float v = in[i] < 0 ? 0 : in[i] > 1 ? 1 : in[i];
            const auto byte = static_cast<unsigned char>(std::lround(v * 255));
            rgba[static_cast<size_t>(i) * 4] = rgba[static_cast<size_t>(i) * 4 + 1] = rgba[static_cast<size_t>(i) * 4 + 2] = byte;
        }
    }
    (void)target;
    (void)internalFormat;
    (void)border;
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, width, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels ? rgba.data() : nullptr);
}

void vrTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels) {
    if (target == GL_TEXTURE_1D) target = GL_TEXTURE_2D;
    if (format == GL_DEPTH_COMPONENT) {
        // WebGL 2 takes depth textures in sized formats only; 24 bits, which it filters when the
        // texture compares (the shadow map's soft edge).
        internalFormat = GL_DEPTH_COMPONENT24;
        type = GL_UNSIGNED_INT;
    } else if (internalFormat == 1 || internalFormat == 3 || internalFormat == 4) {
        // The old component counts.
        internalFormat = internalFormat == 1 ? GL_LUMINANCE : internalFormat == 3 ? GL_RGB : GL_RGBA;
    }
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

namespace {

void APIENTRY useProgram(GLuint program) {
    state().program = program;
    glUseProgram(program);
}

void APIENTRY clientActiveTexture(GLenum unit) {
    const int index = static_cast<int>(unit - GL_TEXTURE0);
    state().clientTexture = index >= 0 && index < 2 ? index : 0;
}

void APIENTRY multiTexCoord1f(GLenum unit, GLfloat s) {
    const int index = static_cast<int>(unit - GL_TEXTURE0);
    if (index < 0 || index > 1) return;
    float* tc = state().texCoord[index];
    tc[0] = s;
    tc[1] = 0;
    tc[2] = 0;
    tc[3] = 1;
}

void APIENTRY multiTexCoord2f(GLenum unit, GLfloat s, GLfloat t) {
    const int index = static_cast<int>(unit - GL_TEXTURE0);
    if (index < 0 || index > 1) return;
    float* tc = state().texCoord[index];
    tc[0] = s;
    tc[1] = t;
    tc[2] = 0;
    tc[3] = 1;
}

// WebGL 2 takes sized renderbuffer formats only.
void APIENTRY renderbufferStorage(GLenum target, GLenum format, GLsizei width, GLsizei height) {
    if (format == GL_DEPTH_COMPONENT) format = GL_DEPTH_COMPONENT24;
    else if (format == GL_RGBA) format = GL_RGBA8;
    else if (format == GL_RGB) format = GL_RGB8;
    glRenderbufferStorage(target, format, width, height);
}

// Entry points of the table that WebGL 2 has not and the program never calls: present, so that
// the table loads, and doing nothing.
void* APIENTRY mapBuffer(GLenum, GLenum) { return nullptr; }
GLboolean APIENTRY unmapBuffer(GLenum) { return GL_FALSE; }
void APIENTRY getBufferPointerv(GLenum, GLenum, void** out) { *out = nullptr; }
void APIENTRY framebufferTexture1D(GLenum, GLenum, GLenum, GLuint, GLint) {}
void APIENTRY framebufferTexture3D(GLenum, GLenum, GLenum, GLuint, GLint, GLint) {}
void APIENTRY getBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data) {
    // WebGL 2 reads a buffer back through getBufferSubData; GLES 3 maps it instead.
    (void)target;
    (void)offset;
    std::memset(data, 0, static_cast<size_t>(size));
}

}  // namespace

void* compatProcAddress(const char* name) {
    static const std::map<std::string, void*> table = {
        {"glUseProgram", reinterpret_cast<void*>(&useProgram)},
        {"glClientActiveTextureARB", reinterpret_cast<void*>(&clientActiveTexture)},
        {"glMultiTexCoord1fARB", reinterpret_cast<void*>(&multiTexCoord1f)},
        {"glMultiTexCoord2fARB", reinterpret_cast<void*>(&multiTexCoord2f)},
        {"glRenderbufferStorageEXT", reinterpret_cast<void*>(&renderbufferStorage)},
        {"glMapBufferARB", reinterpret_cast<void*>(&mapBuffer)},
        {"glUnmapBufferARB", reinterpret_cast<void*>(&unmapBuffer)},
        {"glGetBufferPointervARB", reinterpret_cast<void*>(&getBufferPointerv)},
        {"glGetBufferSubDataARB", reinterpret_cast<void*>(&getBufferSubData)},
        {"glFramebufferTexture1DEXT", reinterpret_cast<void*>(&framebufferTexture1D)},
        {"glFramebufferTexture3DEXT", reinterpret_cast<void*>(&framebufferTexture3D)},
    };
    auto it = table.find(name);
    return it == table.end() ? nullptr : it->second;
}

void compatContextEnds() {
    State& s = state();
    s.builtin = s.stream = s.vertexArrayObject = s.atlas = 0;
    s.atlasDirty = true;
    s.program = 0;
}
