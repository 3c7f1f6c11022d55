// The capture program's options: the input is split into arguments at each NUL byte.
#include <cstdlib>
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
    // What the options take, the capture plays: the frame count is within the limit, counted
    // without making the frames. A schedule of up to 20000 frames is made and must agree.
    const size_t count = captureFrameCount(options);
    if (count > kMostScheduleFrames) std::abort();
    if (count <= 20000 && captureSchedule(options).size() != count) std::abort();
    return 0;
}
