// Writes JPEG pictures (baseline, 4:2:0 chroma for colour): the content generator's photos and
// the tests' sample textures.
#pragma once

#include <string>
#include <vector>

struct JpegPicture {
    int width = 0;
    int height = 0;
    int components = 3;  // 1: grey, 3: RGB; 8 bits a channel, tightly packed, top row first
    const unsigned char* pixels = nullptr;
    int quality = 95;             // 1..100
    bool optimizeCoding = false;  // Huffman tables fitted to the picture: smaller, slower
};

// The encoded file; false, with `error` set, when the picture is empty or libjpeg refuses it.
bool encodeJpeg(const JpegPicture& picture, std::vector<unsigned char>& out, std::string& error);
