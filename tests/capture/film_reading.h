// Reading a film back for the tests of videos made in segments: every frame's time and luma
// plane, and the sound as decoded samples, through FFmpeg's libraries.
#pragma once

#include <string>
#include <vector>

struct Film {
    bool read = false;
    int width = 0, height = 0;
    std::vector<double> times;                       // each frame's presentation time (s), in order
    std::vector<std::vector<unsigned char>> lumas;   // each frame's Y plane, tightly packed
    std::vector<float> sound;                        // the first channel, as a player hears it
    int sampleRate = 0;
};

Film readFilm(const std::string& path);

// PSNR (dB) of a luma plane against a picture of the capture (PNG) converted the way the video
// writer converts; 0 when the picture can't be read or differs in size, 99 when equal.
double lumaPsnr(const std::vector<unsigned char>& y, const std::string& png);
