// The music track: the default output at 44000 Hz and one looping stream. Every failure
// leaves the demo silent and running.
#pragma once

#include <string>

namespace platform {

class Music {
public:
    ~Music() { close(); }
    // Opens the output and the file; false (and silence) when either fails.
    bool open(const std::string& path);
    // Starts the loop once; later calls do nothing.
    void play();
    // Frees the stream and the output; safe to repeat.
    void close();
    bool isOpen() const { return stream_ != nullptr; }
    bool isPlaying() const { return started_; }

private:
    void* stream_ = nullptr;  // the mixer's music object
    bool outputOpen_ = false;
    bool started_ = false;
};

}  // namespace platform
