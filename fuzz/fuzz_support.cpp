#include "fuzz_support.h"

#include <cstdlib>
#include <vector>

#include "base/binary.h"
#include "gl/gl.h"
#include "platform/platform.h"

const std::string& scratchFolder() {
    // Kept to the very end: the exit handler that removes the folder still reads it.
    static const std::string* folder = [] {
        auto* made = new std::string(platform::makePrivateDirectory(platform::tempDirectory(), "voltaresca-fuzz-"));
        if (made->empty()) std::abort();
        std::atexit([] { platform::removeTree(scratchFolder()); });
        return made;
    }();
    return *folder;
}

std::string scratchFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = scratchFolder() + name;
    if (!writeWholeFile(path, std::vector<unsigned char>(data, data + size))) std::abort();
    return path;
}

void touchPicture(const unsigned char* pixels, size_t bytes) {
    if (bytes == 0) return;
    if (!pixels) std::abort();
    const volatile unsigned char* p = pixels;
    static volatile unsigned char sink;
    sink = p[0];
    sink = p[bytes - 1];
}

namespace {
void APIENTRY genBuffers(GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) names[i] = 1;
}
void APIENTRY bindBuffer(GLenum, GLuint) {}
void APIENTRY bufferData(GLenum, GLsizeiptrARB, const void*, GLenum) {}
void APIENTRY bufferSubData(GLenum, GLintptrARB, GLsizeiptrARB, const void*) {}
void APIENTRY deleteBuffers(GLsizei, const GLuint*) {}
}  // namespace

void useBufferStubs() {
    vr_glGenBuffersARB = genBuffers;
    vr_glBindBufferARB = bindBuffer;
    vr_glBufferDataARB = bufferData;
    vr_glBufferSubDataARB = bufferSubData;
    vr_glDeleteBuffersARB = deleteBuffers;
}
