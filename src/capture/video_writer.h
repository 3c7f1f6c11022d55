// Writing the film as an MP4 file: H.264 video (yuv420p, BT.709, constant frame rate) and the
// music as AAC, through FFmpeg's libraries in this process. Frames are converted and encoded on
// a thread of the writer's own, so that drawing the next frame overlaps encoding this one.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct VideoDesc {
    std::string path;
    int width = 0;   // even
    int height = 0;  // even
    double fps = 30.0;
    int crf = 17;  // x264's constant quality: 17 is visually lossless
    // The sound: the music file, looping at its end as the player loops it. Empty: a video
    // without sound.
    std::string music;
};

// A picture (RGBA, bottom row first) as the video holds it before encoding: the Y, U and V
// planes of yuv420p in limited-range BT.709, each tightly packed. For checking a video's frames.
bool videoPlanes(const unsigned char* rgba, int width, int height, std::vector<unsigned char>& y,
                 std::vector<unsigned char>& u, std::vector<unsigned char>& v);

class VideoWriter {
public:
    // Whether this build writes videos; when not, `why` says so and what to do instead.
    static bool available(std::string& why);
    // Opens the file and the encoders (and decodes the music). Null with `error` set.
    static std::unique_ptr<VideoWriter> open(const VideoDesc& desc, std::string& error);
    // The music's length in seconds (0 without music), for a video that ends with it.
    double musicSeconds() const;
    // Before the first frame: the film's moment of the first frame, where the sound starts in
    // the music (0 unless set).
    void startSoundAt(double seconds);
    // Finishes the file if finish() was not called.
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Hands over one frame: width x height RGBA, bottom row first (as glReadPixels gives it).
    // Waits only while a few frames are still queued. False once encoding has failed.
    bool addFrame(std::vector<unsigned char> rgba);
    // Encodes what is queued, the sound up to the last frame's end, and finishes the file so that
    // it plays. False with `error` set when anything failed on the way.
    bool finish(std::string& error);

    struct Impl;

private:
    explicit VideoWriter(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
