// Writing RGBA pictures as PNG files (frame capture, test pictures).
#pragma once

#include <string>

// `pixels`: width x height RGBA, bottom row first (as glReadPixels gives them). False, with
// `error` set, when the file cannot be written.
bool writePng(const std::string& path, int width, int height, const unsigned char* pixels, std::string& error);
