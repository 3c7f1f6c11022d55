// The digest of the code each of the generator's stages runs: the toolchain and its flags, the
// shared code and the stage's own sources. The build remakes its definition
// (cmake/content_stage_code.cmake) whenever one of those files changes.
#pragma once

namespace content {

// Null for a stage the build does not know.
const char* stageCodeDigest(const char* stage);

}  // namespace content
