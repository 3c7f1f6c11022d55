// The music track: the default output at 44000 Hz and one looping stream. Every failure
// leaves the demo silent and running.
#pragma once

#include <string>

struct _Mix_Music;

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
    _Mix_Music* stream_ = nullptr;
    bool outputOpen_ = false;
    bool started_ = false;
};
