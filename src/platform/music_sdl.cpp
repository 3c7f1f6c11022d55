#include "platform/music.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cmath>
#include <cstdint>
#include <mutex>

namespace platform {

namespace {

constexpr int kChunkSamples = 4096;

// What the output has been given, counted in the mixer's last step before the device: the
// music position the output reached is known from the sample frames handed over since the
// music started or last moved, whatever the decoder keeps buffered ahead of them.
struct OutputClock {
    std::mutex lock;
    int frequency = 0;
    int bytesPerFrame = 0;
    int64_t frames = 0;            // frames handed to the device so far
    int64_t lastBufferStart = 0;   // `frames` before the newest buffer
    uint64_t lastBufferCounter = 0;
    bool playing = false;          // the music plays (not paused, not stopped)
    bool anchored = false;
    int64_t anchorFrame = 0;       // the buffer that began with the music at anchorSeconds
    double anchorSeconds = 0.0;
};
OutputClock g_clock;

void SDLCALL countOutput(void*, Uint8*, int bytes) {
    std::lock_guard<std::mutex> guard(g_clock.lock);
    if (g_clock.bytesPerFrame <= 0) return;
    g_clock.lastBufferStart = g_clock.frames;
    g_clock.frames += bytes / g_clock.bytesPerFrame;
    g_clock.lastBufferCounter = SDL_GetPerformanceCounter();
}

// The frames handed over so far: the next buffer is the first one a start or seek made now
// reaches. (A buffer mixed while the mixer call itself runs may fall either side of it: at
// most one buffer, and only when the device asks at that very moment.)
int64_t framesSoFar() {
    std::lock_guard<std::mutex> guard(g_clock.lock);
    return g_clock.frames;
}

void anchorAt(int64_t frame, double seconds, bool playing) {
    std::lock_guard<std::mutex> guard(g_clock.lock);
    g_clock.playing = playing;
    g_clock.anchored = playing;
    g_clock.anchorFrame = frame;
    g_clock.anchorSeconds = seconds;
}

}  // namespace

bool Music::open(const std::string& path) {
    close();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudio(44000, MIX_DEFAULT_FORMAT, 2, kChunkSamples) != 0) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    outputOpen_ = true;
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&frequency, &format, &channels)) {
        std::lock_guard<std::mutex> guard(g_clock.lock);
        g_clock.frames = g_clock.lastBufferStart = 0;
        g_clock.playing = g_clock.anchored = false;
        g_clock.frequency = frequency;
        g_clock.bytesPerFrame = channels * static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8);
    }
    Mix_SetPostMix(countOutput, nullptr);
    stream_ = Mix_LoadMUS(path.c_str());
    return stream_ != nullptr;
}

void Music::play() {
    if (!stream_ || started_) return;
    const int64_t frame = framesSoFar();
    started_ = Mix_PlayMusic(static_cast<Mix_Music*>(stream_), -1) == 0;  // -1: loop for ever
    paused_ = false;
    if (started_) anchorAt(frame, 0.0, true);
}

void Music::pause() {
    if (!started_ || paused_) return;
    Mix_PauseMusic();
    paused_ = true;
    std::lock_guard<std::mutex> guard(g_clock.lock);
    g_clock.playing = false;
    g_clock.anchored = false;
}

void Music::resume() {
    if (!started_ || !paused_) return;
    // The decoder goes on from where it stopped, ahead of what was heard: the clock stays
    // unplaced until the next seek (the player seeks before resuming).
    Mix_ResumeMusic();
    paused_ = false;
}

void Music::seek(double seconds) {
    if (!started_) return;
    const double length = duration();
    if (length > 0.0) seconds = std::fmod(seconds, length);
    if (seconds < 0.0) seconds = 0.0;
    const int64_t frame = framesSoFar();
    Mix_SetMusicPosition(seconds);
    anchorAt(frame, seconds, !paused_);
}

double Music::heardPosition() const {
    if (!stream_ || !started_ || paused_) return -1.0;
    std::lock_guard<std::mutex> guard(g_clock.lock);
    if (!g_clock.anchored || g_clock.frequency <= 0) return -1.0;
    const double bufferStart = g_clock.anchorSeconds +
        static_cast<double>(g_clock.lastBufferStart - g_clock.anchorFrame) / g_clock.frequency;
    const double bufferLength = static_cast<double>(g_clock.frames - g_clock.lastBufferStart) / g_clock.frequency;
    double since = static_cast<double>(SDL_GetPerformanceCounter() - g_clock.lastBufferCounter) /
                   static_cast<double>(SDL_GetPerformanceFrequency());
    // A device that stops asking for sound does not play on.
    if (since > bufferLength) since = bufferLength;
    return bufferStart + since;
}

double Music::duration() const {
    return stream_ ? Mix_MusicDuration(static_cast<Mix_Music*>(stream_)) : 0.0;
}

void Music::close() {
    if (stream_) {
        Mix_HaltMusic();
        Mix_FreeMusic(static_cast<Mix_Music*>(stream_));
        stream_ = nullptr;
    }
    if (outputOpen_) {
        Mix_SetPostMix(nullptr, nullptr);
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        outputOpen_ = false;
    }
    std::lock_guard<std::mutex> guard(g_clock.lock);
    g_clock.playing = false;
    g_clock.anchored = false;
    started_ = false;
    paused_ = false;
}

}  // namespace platform
