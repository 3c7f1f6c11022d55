// The video writer of a build without FFmpeg's libraries (the Windows build): it refuses, and
// says how to make the video from a picture sequence instead.
#include "capture/video_writer.h"

struct VideoWriter::Impl {};

bool VideoWriter::available(std::string& why) {
    why = "this build writes picture sequences only, not videos. Capture the frames, e.g.\n"
          "  voltaresca-capture --size 1280x720 --fps 30 --from 0 --to 220000 --out frames\n"
          "and make the video with FFmpeg (the music is music/demotune.mp3 inside demodat, a zip file):\n"
          "  ffmpeg -framerate 30 -i frames/frame_%06d.png -i demotune.mp3 -c:v libx264 -pix_fmt yuv420p "
          "-c:a aac -shortest film.mp4";
    return false;
}

std::unique_ptr<VideoWriter> VideoWriter::open(const VideoDesc&, std::string& error) {
    available(error);
    return nullptr;
}

VideoWriter::VideoWriter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
VideoWriter::~VideoWriter() = default;
double VideoWriter::musicSeconds() const { return 0.0; }
void VideoWriter::startSoundAt(double) {}
void VideoWriter::tag(const std::string&, const std::string&) {}
bool VideoWriter::addFrame(std::vector<unsigned char>) { return false; }
std::unique_ptr<VideoWriter> VideoWriter::openCopy(const VideoDesc&, const AVCodecParameters&, int, int, std::string& error) {
    available(error);
    return nullptr;
}
bool VideoWriter::addPacket(AVPacket&) { return false; }
bool VideoWriter::finish(std::string& error) {
    available(error);
    return false;
}
