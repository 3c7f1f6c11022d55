// Reading a film back for the tests of the capture's videos: every frame's time and luma plane,
// the streams' rate and durations, and the sound as decoded samples, through FFmpeg's libraries.
// An MP3 reads too (sound alone).
#pragma once

#include <string>
#include <vector>

struct Film {
    int width = 0, height = 0;
    double rate = 0.0;                              // the video stream's frame rate
    std::vector<double> times;                      // each frame's presentation time (s), in order
    std::vector<std::vector<unsigned char>> lumas;  // each frame's Y plane, tightly packed
    double audioSeconds = 0.0;                      // the sound stream's duration as the file says
    double decodedAudioSeconds = 0.0;               // what a player hears: every decoded sample counted
    int sampleRate = 0;
    std::vector<float> left, right;  // the first two channels as decoded (right: stereo only)

    size_t frames() const { return lumas.size(); }
    double videoSeconds() const { return static_cast<double>(frames()) / (rate > 0.0 ? rate : 1.0); }
};

Film readFilm(const std::string& path);

// PSNR (dB) of a luma plane against a picture of the capture (PNG) converted the way the video
// writer converts; 0 when the picture can't be read or differs in size, 99 when equal.
double lumaPsnr(const std::vector<unsigned char>& y, const std::string& png);

// How `count` samples of `sound` from `at` on line up with the music read from `musicAt` on,
// wrapping at its end: the shift of the music within `reach` samples either way with the highest
// normalised correlation, and that correlation (1 for the same sound; -1 when the window leaves
// the sound or there is no music).
struct MusicMatch {
    long lag = 0;
    double correlation = -1.0;
};
MusicMatch matchMusic(const std::vector<float>& sound, long at, long count, const std::vector<float>& music,
                      long musicAt, long reach);
