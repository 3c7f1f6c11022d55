// Shared pieces of the fuzz harnesses: a private scratch folder per process and files in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A folder of this process's own (made once, removed at exit), ending in the separator.
const std::string& scratchFolder();
// Writes the input to `name` inside the scratch folder and returns the path.
std::string scratchFile(const std::string& name, const uint8_t* data, size_t size);
// Reads the first and the last of `bytes` bytes at `pixels` (a picture a decoder handed over),
// so that the sanitizer sees a size the decoder claims but did not allocate.
void touchPicture(const unsigned char* pixels, size_t bytes);
// Stands in for the buffer-object entry points, so that model reading runs without a driver.
void useBufferStubs();
