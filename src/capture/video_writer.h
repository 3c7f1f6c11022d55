// Writing the film as an MP4 file: H.264 video (yuv420p, BT.709, constant frame rate) and the
// music as AAC, through FFmpeg's libraries in this process. Frames are converted and encoded on
// a thread of the writer's own, so that drawing the next frame overlaps encoding this one.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct AVCodecParameters;
struct AVPacket;

struct VideoDesc {
    std::string path;
    int width = 0;   // even
    int height = 0;  // even
    double fps = 30.0;
    int crf = 17;  // x264's constant quality: 17 is visually lossless
    // The sound: the music file, looping at its end as the player loops it. Empty: a video
    // without sound.
    std::string music;
    bool sound = true;  // false: no sound in the file; the music still gives musicSeconds()
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
    // A film put together from encoded segments: the video stream takes `video`'s parameters and
    // its frames come ready-encoded through addPacket; the sound is made as open() makes it
    // (desc.fps says how long a frame lasts for it). Null with `error` set.
    static std::unique_ptr<VideoWriter> openCopy(const VideoDesc& desc, const AVCodecParameters& video,
                                                 int timeBaseNum, int timeBaseDen, std::string& error);
    // The music's length in seconds (0 without music), for a video that ends with it.
    double musicSeconds() const;
    // Before the first frame: the film's moment of the first frame, where the sound starts in
    // the music (0 unless set).
    void startSoundAt(double seconds);
    // Before finish(): a key of the program's own and its value, written into the file's
    // metadata (a segment's frames and settings).
    void tag(const std::string& key, const std::string& value);
    // Finishes the file if finish() was not called.
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Hands over one frame: width x height RGBA, bottom row first (as glReadPixels gives it).
    // Waits only while a few frames are still queued. False once encoding has failed.
    bool addFrame(std::vector<unsigned char> rgba);
    // A writer from openCopy: one encoded frame, its timestamps in the time base given there and
    // counted from the film's first frame. The packet is written (and emptied). False once writing
    // has failed.
    bool addPacket(AVPacket& packet);
    // Encodes what is queued, the sound up to the last frame's end, and finishes the file so that
    // it plays. False with `error` set when anything failed on the way.
    bool finish(std::string& error);

    struct Impl;

private:
    explicit VideoWriter(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
