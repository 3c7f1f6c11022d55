#include "capture/output.h"

#include "gl/gl.h"
#include "platform/platform.h"

namespace {

// Written as the pictures are (a link planted under the probe's name is replaced, never
// written through), then removed.
bool folderWritable(const std::string& folder) {
    const std::string probe = folder + "/.voltaresca-capture-probe";
    std::string cause;
    const bool ok = platform::replaceFile(probe, {}, cause);
    std::remove(probe.c_str());
    return ok && platform::isDirectory(folder);
}

}  // namespace

int checkOutput(const CaptureOptions& options) {
    std::string reason;
    if (!options.video.empty()) {
        if (VideoWriter::available(reason)) return 0;
        std::fprintf(stderr, "voltaresca-capture: --video: %s\n", reason.c_str());
        return 2;
    }
    // Each folder of the path in turn, through the platform (a name outside the code page works
    // on Windows too).
    const std::string separators = std::string("/") + platform::pathSeparator();
    for (size_t at = options.out.find_first_of(separators, 1); at != std::string::npos;
         at = options.out.find_first_of(separators, at + 1))
        platform::makeDirectory(options.out.substr(0, at));
    platform::makeDirectory(options.out);
    if (folderWritable(options.out)) return 0;
    std::fprintf(stderr, "voltaresca-capture: can't write pictures into '%s' (is the folder writable?)\n",
                 options.out.c_str());
    return 1;
}

FrameOutput::FrameOutput(const CaptureOptions& options, VideoWriter* video)
    : options_(options), video_(video),
      frameBytes_(static_cast<size_t>(options.width) * static_cast<size_t>(options.height) * 4), pixels_(frameBytes_) {
    if (!video_) pictures_ = std::make_unique<PictureWriter>();
}

void readFrame(int width, int height, std::vector<unsigned char>& pixels, bool opaque) {
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (opaque)
        for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
}

void FrameOutput::readBack() {
    if (pending_.empty()) return;
    readFrame(options_.width, options_.height, pixels_, !video_);
    if (video_) {
        // The encoder's thread takes the copy; drawing the next frame goes on meanwhile.
        if (!video_->addFrame(pixels_)) failed_ = true;
        return;
    }
    if (!pictures_->write(options_.out + "/" + pending_, options_.width, options_.height, std::move(pixels_)))
        failed_ = true;
    pixels_.assign(frameBytes_, 0);
}

bool FrameOutput::failed() {
    if (pictures_ && pictures_->failed()) failed_ = true;
    return failed_;
}

bool FrameOutput::finish(std::string& error) {
    if (video_ && !video_->finish(error)) failed_ = true;
    if (pictures_) {
        error = pictures_->finish();
        if (!error.empty()) failed_ = true;
    }
    return !failed_;
}

int reportEnd(const CaptureEnd& end, std::FILE* out) {
    const char* what = end.video ? "frames" : "pictures";
    if (end.interrupted) {
        if (end.video && !end.finished)
            std::fprintf(out, "\nvoltaresca-capture: interrupted; the video '%s' could not be finished\n", end.where.c_str());
        else
            std::fprintf(out, "\nvoltaresca-capture: interrupted; %zu %s in '%s' are complete\n", end.complete, what,
                         end.where.c_str());
    }
    if (!end.finished)
        std::fprintf(out, "voltaresca-capture: %s\n", end.error.empty() ? "encoding failed" : end.error.c_str());
    if (end.interrupted || !end.finished) return 1;
    std::fprintf(out, "voltaresca-capture: %zu %s in '%s'\n", end.complete, what, end.where.c_str());
    return 0;
}
