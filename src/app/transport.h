// The player's clock: demo time that runs with the counter, stands still while paused, jumps,
// and follows the music while the music plays, so that picture and sound stay in step.
#pragma once

#include "platform/music.h"

class Transport {
public:
    // `music` may be null (silence); `lengthMs` bounds the jumps (0: no upper bound).
    explicit Transport(platform::MusicStream* music = nullptr, float lengthMs = 0.0f)
        : music_(music), length_(lengthMs) {}

    struct Frame {
        float t = 0.0f;   // demo time of the frame, ms
        float dt = 0.0f;  // ms since the frame before; 0 while paused
    };
    // The next frame from the counter's step (ms). While the music plays and the lock is on,
    // the time is pulled gently toward the music's heard position (a large gap, as after a stall,
    // is closed at once), so the frames stay evenly spaced and the picture keeps to the sound.
    Frame tick(float counterDt);

    void togglePause();
    bool paused() const { return paused_; }
    // Moves the time by `deltaMs` or to `t`, clamped to [0, length]; the music follows and a
    // pause stays a pause. Returns the new time; the caller replays the film to it.
    float jumpBy(float deltaMs) { return jumpTo(t_ + deltaMs); }
    float jumpTo(float t);
    float time() const { return t_; }

    // On by default; off gives the counter's time alone (for measuring the drift).
    void setMusicLock(bool on) { lock_ = on; }

private:
    platform::MusicStream* music_;
    float length_;
    float t_ = 0.0f;
    bool paused_ = false;
    bool lock_ = true;
    bool placed_ = false;  // the time was set from the music since it started or moved
};
