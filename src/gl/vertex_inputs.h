// Where vertex data enters a program that has no built-in vertex inputs (GLSL ES 3.00, WebGL 2):
// the locations of the named inputs that stand for gl_Vertex, gl_Normal and the two texture
// coordinate sets. The effect runtime declares its inputs at these locations and the code that
// sets up vertex arrays for such a program binds them here.
#pragma once

constexpr int kVertexInputPosition = 0;
constexpr int kVertexInputNormal = 1;
constexpr int kVertexInputTexCoord0 = 2;
constexpr int kVertexInputTexCoord1 = 3;
