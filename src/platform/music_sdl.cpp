#include "platform/music.h"

#include <SDL.h>
#include <SDL_mixer.h>

namespace platform {

bool Music::open(const std::string& path) {
    close();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudio(44000, MIX_DEFAULT_FORMAT, 2, 4096) != 0) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    outputOpen_ = true;
    stream_ = Mix_LoadMUS(path.c_str());
    return stream_ != nullptr;
}

void Music::play() {
    if (!stream_ || started_) return;
    started_ = Mix_PlayMusic(static_cast<Mix_Music*>(stream_), -1) == 0;  // -1: loop for ever
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
}

}  // namespace platform
