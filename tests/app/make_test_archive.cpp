// Writes a small data archive for the end-to-end test: make_test_archive <path>
// It holds every asset the content load looks up by name, so that the program loads it whole.
#include <png.h>

#include <cstdio>

#include "assets/geo_writer.h"
#include "support/pictures.h"
#include "support/zip_writer.h"

namespace {
std::string oneTriangle(int nodeId) {
    GeoMesh mesh{nodeId, "mesh", {}};
    const GeoVertex v = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0}};
    mesh.parts.push_back({"steel", {v, v, v}});
    return encodeGeo({mesh});
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string mask = encodePng(4, 4, PNG_FORMAT_RGBA, std::vector<unsigned char>(64, 255));
    ZipEntries entries = {{"voltaresca_data/", ""},
                          {"voltaresca_data/loader.jpg", encodeJpeg(16, 16, 3, std::vector<unsigned char>(768, 50))},
                          {"voltaresca_data/textures/", ""},
                          {"voltaresca_data/textures/readme.txt", "not a picture"},
                          {"voltaresca_data/textures/mask.png", mask},
                          {"voltaresca_data/textures/mask_big.png", mask},
                          {"voltaresca_data/materials/", ""},
                          {"voltaresca_data/materials/steel.mat", "<Material Name=\"steel\"/>"},
                          {"voltaresca_data/models/", ""},
                          {"voltaresca_data/properties/", ""},
                          {"voltaresca_data/properties/props.scr", "end\n"}};
    int node = 1;
    for (const char* name : {"winda", "factory", "wheels", "head_body", "head_eyes", "credits"})
        entries.emplace_back(std::string("voltaresca_data/models/") + name + ".geo", oneTriangle(node++));
    if (!writeZip(argv[1], entries)) {
        std::fprintf(stderr, "make_test_archive: couldn't write '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
