// The capture program's options: the input is split into arguments at each NUL byte.
#include <algorithm>
#include <vector>

#include "fuzz_support.h"
#include "capture/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"voltaresca-capture"};
    std::string word;
    for (size_t i = 0; i < size && words.size() < 64; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error)) return 0;
    // The schedule holds every frame up to the last moment: keep it to films of minutes here.
    float last = options.to;
    for (float t : options.at) last = std::max(last, t);
    if (last * options.fps / 1000.0f < 20000.0f) captureSchedule(options);
    return 0;
}
