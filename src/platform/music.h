// The music track: the default output at 44000 Hz and one looping stream. Every failure
// leaves the demo silent and running.
#pragma once

#include <string>

namespace platform {

// What the player asks of a music track; tests put a fake in its place.
class MusicStream {
public:
    virtual ~MusicStream() = default;
    virtual bool isPlaying() const = 0;  // started and not paused
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Moves to `seconds` from the track's start (wrapped into the track, which loops).
    virtual void seek(double seconds) = 0;
    // The moment of the track being heard now, in seconds from its start (counting on across a
    // loop); negative when it cannot be told (not playing, paused, or a seek not yet sounding).
    virtual double heardPosition() const = 0;
    // The track's length in seconds; 0 when unknown.
    virtual double duration() const = 0;
};

class Music : public MusicStream {
public:
    ~Music() override { close(); }
    // Opens the output and the file; false (and silence) when either fails.
    bool open(const std::string& path);
    // Starts the loop once; later calls do nothing.
    void play();
    // Frees the stream and the output; safe to repeat.
    void close();
    bool isOpen() const { return stream_ != nullptr; }

    bool isPlaying() const override { return started_ && !paused_; }
    void pause() override;
    void resume() override;
    void seek(double seconds) override;
    double heardPosition() const override;
    double duration() const override;

private:
    void* stream_ = nullptr;  // the mixer's music object
    bool outputOpen_ = false;
    bool started_ = false;
    bool paused_ = false;
};

}  // namespace platform
