#include "app/transport.h"

#include <algorithm>
#include <cmath>

namespace {
// Beyond this the gap is not drift but a stall or a jump: the time goes straight to the music.
constexpr double kSnapMs = 250.0;
// Share of the gap closed each frame, and at most this share of the frame's own step, so
// that no frame is more than a tenth longer or shorter than the counter says.
constexpr double kPull = 0.05;
constexpr double kMostPerStep = 0.1;
}  // namespace

Transport::Frame Transport::tick(float counterDt) {
    if (counterDt < 0.0f) counterDt = 0.0f;
    if (paused_) return {t_, 0.0f};
    double next = static_cast<double>(t_) + counterDt;
    if (lock_ && music_ && music_->isPlaying()) {
        const double length = music_->duration() * 1000.0;
        // The frame is seen when it is swapped, about one frame's time from now: it shows the
        // moment the sound will have reached then.
        const double heardNow = music_->heardPosition() * 1000.0;
        const double heard = heardNow < 0.0 ? -1.0 : heardNow + counterDt;
        // The track loops and the film does not: only the first pass of the music says the time.
        if (heard >= 0.0 && (length <= 0.0 || (heard < length && next < length))) {
            const double error = heard - next;
            const double most = kMostPerStep * counterDt;
            // The first reading after the music started or moved places the time at once: the
            // picture has just begun or jumped, and a jump of a few hundredths is not seen there.
            const bool place = !placed_ || std::abs(error) > kSnapMs;
            next += place ? error : std::clamp(error * kPull, -most, most);
            placed_ = true;
        }
    }
    next = std::max(next, static_cast<double>(t_));  // the film never runs backwards by itself
    const Frame frame{static_cast<float>(next), static_cast<float>(next - t_)};
    t_ = frame.t;
    return frame;
}

void Transport::togglePause() {
    paused_ = !paused_;
    if (!music_) return;
    if (paused_) {
        music_->pause();
    } else {
        music_->resume();
        music_->seek(t_ / 1000.0);  // the sound goes on from the picture's moment
        placed_ = false;
    }
}

float Transport::jumpTo(float t) {
    t = std::max(t, 0.0f);
    if (length_ > 0.0f) t = std::min(t, length_);
    t_ = t;
    if (music_) music_->seek(t / 1000.0);
    placed_ = false;
    return t_;
}
