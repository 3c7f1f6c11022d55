// Effect files (.cfx): the parser and the GLSL generation of every pass, without a driver.
#include "fuzz_support.h"
#include "fx/effect_file.h"
#include "fx/glsl_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fx::EffectFile file;
    fx::FxError error;
    if (!fx::parseEffectFile(std::string(reinterpret_cast<const char*>(data), size), file, error)) return 0;
    for (const fx::TechniqueDecl& technique : file.techniques)
        for (const fx::PassDecl& pass : technique.passes) {
            fx::GlslSource source;
            std::string message;
            fx::makeStageSource(file, fx::Stage::Vertex, pass.vertexProgram, source, message);
            fx::makeStageSource(file, fx::Stage::Fragment, pass.fragmentProgram, source, message);
            fx::firstCompilerError("0:3(7): error: fuzz", source.lineMap);
        }
    return 0;
}
