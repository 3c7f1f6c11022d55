#include "platform/music.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cmath>

namespace platform {

namespace {
constexpr int kChunkSamples = 4096;
}

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
    latency_ = Mix_QuerySpec(&frequency, &format, &channels) && frequency > 0
                   ? static_cast<double>(kChunkSamples) / frequency
                   : 0.0;
    stream_ = Mix_LoadMUS(path.c_str());
    return stream_ != nullptr;
}

void Music::play() {
    if (!stream_ || started_) return;
    started_ = Mix_PlayMusic(static_cast<Mix_Music*>(stream_), -1) == 0;  // -1: loop for ever
    paused_ = false;
}

void Music::pause() {
    if (!started_ || paused_) return;
    Mix_PauseMusic();
    paused_ = true;
}

void Music::resume() {
    if (!started_ || !paused_) return;
    Mix_ResumeMusic();
    paused_ = false;
}

void Music::seek(double seconds) {
    if (!started_) return;
    const double length = duration();
    if (length > 0.0) seconds = std::fmod(seconds, length);
    if (seconds < 0.0) seconds = 0.0;
    Mix_SetMusicPosition(seconds);
}

double Music::position() const {
    return stream_ && started_ ? Mix_GetMusicPosition(static_cast<Mix_Music*>(stream_)) : -1.0;
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
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        outputOpen_ = false;
    }
    started_ = false;
    paused_ = false;
    latency_ = 0.0;
}

}  // namespace platform
