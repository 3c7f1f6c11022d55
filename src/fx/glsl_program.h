// Turning the GLSL blocks of an effect file into one shader per entry function: only the
// functions the entry reaches are kept (so vertex-only code never reaches the fragment
// compiler), the parameters become uniforms, and a main() calls the entry. Every generated line
// remembers its line in the effect file so compiler messages point into the file.
#pragma once

#include <string>
#include <vector>

#include "gl/gl.h"
#include "fx/effect_file.h"

namespace fx {

enum class Stage { Vertex, Fragment };

// The shading language a stage is written in. The effect files are GLSL 1.20; for GLSL ES 3.00
// (WebGL 2) the built-in vertex inputs become named inputs at fixed locations (gl/vertex_inputs.h),
// `varying` becomes `in`/`out`, the fragment colour one output, the lookups `texture`/`textureLod`,
// `shadow2D` a comparison lookup widened to a vector, and a 1-D texture a 2-D one of height one.
enum class Dialect { Glsl120, Essl300 };
// What this build's GL compiles: GLSL ES 3.00 in the browser, GLSL 1.20 elsewhere.
#ifdef __EMSCRIPTEN__
constexpr Dialect kBuildDialect = Dialect::Essl300;
#else
constexpr Dialect kBuildDialect = Dialect::Glsl120;
#endif

struct GlslSource {
    std::string text;
    std::vector<int> lineMap;  // effect file line of generated line i + 1; 0 for generated code
};

// False when the entry function isn't in the glsl blocks or has an unusable return type.
bool makeStageSource(const EffectFile& file, Stage stage, const std::string& entry, GlslSource& out,
                     std::string& error, Dialect dialect = Dialect::Glsl120);

// The first error of a compiler log, with its line mapped into the effect file (0 when the log
// names no line or a generated one) and the message without the compiler's location prefix.
FxError firstCompilerError(const std::string& log, const std::vector<int>& lineMap);

// Compiles one shader; 0 and `error` filled (mapped through the source's line map) on failure.
GLuint compileShader(Stage stage, const GlslSource& source, FxError& error);
// Links a program; 0 and the linker's first message on failure.
GLuint linkProgram(GLuint vertexShader, GLuint fragmentShader, std::string& error);

}  // namespace fx
