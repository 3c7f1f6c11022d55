// Writes a small data archive for the end-to-end test: make_test_archive <path>
#include <cstdio>

#include "support/zip_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const ZipEntries entries = {{"voltaresca_data/", ""},
                                {"voltaresca_data/textures/", ""},
                                {"voltaresca_data/textures/readme.txt", "not a picture"},
                                {"voltaresca_data/properties/", ""},
                                {"voltaresca_data/properties/props.scr", "end\n"}};
    if (!writeZip(argv[1], entries)) {
        std::fprintf(stderr, "make_test_archive: couldn't write '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
