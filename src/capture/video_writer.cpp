#include "capture/video_writer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kSampleRate = 44100;
constexpr size_t kQueued = 3;  // frames waiting for the encoder before addFrame waits

std::string describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// FFmpeg's own chatter (encoder statistics) stays out of the program's output; its errors reach
// the caller through the messages built here.
void quietLibraries() { av_log_set_level(AV_LOG_ERROR); }

// The most music a video takes: ten minutes, near three times the film's (220 s), held as two
// planes of floats at kSampleRate (212 MB). Longer music is refused before more is decoded.
constexpr double kLongestMusicSeconds = 600.0;

// Converts decoded frames into two planes of float samples at kSampleRate. Each frame goes by
// its own channel layout, rate and sample format: an MP3 may change them from one frame to the
// next (two files joined), and a converter set up for one layout would read planes that a frame
// of another does not have. A change drains the old converter and sets up a new one.
class MusicConverter {
public:
    MusicConverter(const std::string& path, std::vector<float> (&planes)[2]) : path_(path), planes_(planes) {}
    ~MusicConverter() {
        swr_free(&resampler_);
        av_channel_layout_uninit(&layout_);
    }
    MusicConverter(const MusicConverter&) = delete;
    MusicConverter& operator=(const MusicConverter&) = delete;

    // False with `error` set when the frame can't be converted or the music grows too long.
    bool take(const AVFrame* frame, std::string& error) {
        if (frame->nb_samples <= 0) return true;
        if (!readable(frame)) {
            error = "can't decode the music '" + path_ + "': a frame without its channels";
            return false;
        }
        if (!sameAs(frame) && (!drain(error) || !setUp(frame, error))) return false;
        return convert(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples, error);
    }

    // What the converter still holds, at the end.
    bool drain(std::string& error) { return !resampler_ || convert(nullptr, 0, error); }

private:
    // A frame whose planes are all there: one per channel when planar, else one.
    static bool readable(const AVFrame* frame) {
        const int channels = frame->ch_layout.nb_channels;
        if (channels <= 0 || channels > 64 || frame->sample_rate <= 0 || !frame->extended_data) return false;
        const AVSampleFormat format = static_cast<AVSampleFormat>(frame->format);
        if (format <= AV_SAMPLE_FMT_NONE || format >= AV_SAMPLE_FMT_NB) return false;
        const int planes = av_sample_fmt_is_planar(format) ? channels : 1;
        for (int p = 0; p < planes; ++p)
            if (!frame->extended_data[p]) return false;
        return true;
    }

    bool sameAs(const AVFrame* frame) const {
        return resampler_ && frame->sample_rate == rate_ && frame->format == format_ &&
               av_channel_layout_compare(&frame->ch_layout, &layout_) == 0;
    }

    bool setUp(const AVFrame* frame, std::string& error) {
        swr_free(&resampler_);
        av_channel_layout_uninit(&layout_);
        rate_ = frame->sample_rate;
        format_ = frame->format;
        AVChannelLayout input = {};
        // A count of channels without their meaning: the usual layout for that count.
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) av_channel_layout_default(&input, frame->ch_layout.nb_channels);
        else av_channel_layout_copy(&input, &frame->ch_layout);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        const bool ok = av_channel_layout_copy(&layout_, &frame->ch_layout) >= 0 &&
                        swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_FLTP, kSampleRate, &input,
                                            static_cast<AVSampleFormat>(format_), rate_, 0, nullptr) >= 0 &&
                        swr_init(resampler_) >= 0;
        av_channel_layout_uninit(&input);
        if (ok) return true;
        swr_free(&resampler_);
        const char* name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(format_));
        error = "can't convert the music '" + path_ + "' from " + std::to_string(frame->ch_layout.nb_channels) +
                " channels of " + (name ? name : "unknown") + " samples at " + std::to_string(rate_) + " Hz";
        return false;
    }

    // Null input: what the converter holds.
    bool convert(const uint8_t** input, int count, std::string& error) {
        const int room = swr_get_out_samples(resampler_, count);
        if (room <= 0) return true;
        out_[0].resize(static_cast<size_t>(room));
        out_[1].resize(static_cast<size_t>(room));
        uint8_t* targets[2] = {reinterpret_cast<uint8_t*>(out_[0].data()), reinterpret_cast<uint8_t*>(out_[1].data())};
        const int got = swr_convert(resampler_, targets, room, input, count);
        if (got < 0) {
            error = "can't convert the music '" + path_ + "': " + describe(got);
            return false;
        }
        if (static_cast<double>(planes_[0].size() + static_cast<size_t>(got)) > kLongestMusicSeconds * kSampleRate) {
            error = "the music '" + path_ + "' is longer than " + std::to_string(static_cast<int>(kLongestMusicSeconds / 60)) +
                    " minutes, more than a video takes";
            return false;
        }
        for (int c = 0; c < 2; ++c) planes_[c].insert(planes_[c].end(), out_[c].begin(), out_[c].begin() + got);
        return true;
    }

    std::string path_;
    std::vector<float> (&planes_)[2];
    std::vector<float> out_[2];
    SwrContext* resampler_ = nullptr;
    AVChannelLayout layout_ = {};  // what the resampler was set up for
    int rate_ = 0;
    int format_ = -1;
};

// The music as two planes of float samples at kSampleRate.
bool decodeMusic(const std::string& path, std::vector<float> (&planes)[2], std::string& error) {
    quietLibraries();
    AVFormatContext* input = nullptr;
    int status = avformat_open_input(&input, path.c_str(), nullptr, nullptr);
    if (status < 0) {
        error = "can't open the music '" + path + "': " + describe(status);
        return false;
    }
    const AVCodec* codec = nullptr;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int stream = -1;
    bool ok = avformat_find_stream_info(input, nullptr) >= 0 &&
              (stream = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0)) >= 0 &&
              (decoder = avcodec_alloc_context3(codec)) != nullptr &&
              avcodec_parameters_to_context(decoder, input->streams[stream]->codecpar) >= 0 &&
              avcodec_open2(decoder, codec, nullptr) >= 0 && packet && frame;
    if (!ok) error = "can't decode the music '" + path + "' (no audio stream FFmpeg can read)";
    MusicConverter converter(path, planes);
    const auto drain = [&] {
        while (ok && avcodec_receive_frame(decoder, frame) >= 0) {
            ok = converter.take(frame, error);
            av_frame_unref(frame);
        }
    };
    while (ok && av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) >= 0) drain();
        av_packet_unref(packet);
    }
    if (ok) {
        avcodec_send_packet(decoder, nullptr);
        drain();
    }
    if (ok) ok = converter.drain(error);
    if (ok && planes[0].empty()) {
        error = "the music '" + path + "' holds no samples";
        ok = false;
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return ok;
}

// Full-range RGB from the window into limited-range BT.709, as the stream is tagged.
SwsContext* makeConverter(int width, int height) {
    SwsContext* converter = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, AV_PIX_FMT_YUV420P,
                                           SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (!converter) return nullptr;
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(converter, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    return converter;
}

// Bottom row first: start at the last row and walk up.
void convert(SwsContext* converter, const unsigned char* rgba, int width, int height, uint8_t* const planes[],
             const int strides[]) {
    const int stride = width * 4;
    const uint8_t* source[1] = {rgba + static_cast<size_t>(height - 1) * static_cast<size_t>(stride)};
    const int sourceStrides[1] = {-stride};
    sws_scale(converter, source, sourceStrides, 0, height, planes, strides);
}

}  // namespace

bool videoPlanes(const unsigned char* rgba, int width, int height, std::vector<unsigned char>& y,
                 std::vector<unsigned char>& u, std::vector<unsigned char>& v) {
    SwsContext* converter = width > 0 && height > 0 && width % 2 == 0 && height % 2 == 0 ? makeConverter(width, height) : nullptr;
    if (!converter) return false;
    y.resize(static_cast<size_t>(width) * height);
    u.resize(static_cast<size_t>(width / 2) * (height / 2));
    v.resize(u.size());
    uint8_t* const planes[3] = {y.data(), u.data(), v.data()};
    const int strides[3] = {width, width / 2, width / 2};
    convert(converter, rgba, width, height, planes, strides);
    sws_freeContext(converter);
    return true;
}

struct VideoWriter::Impl {
    VideoDesc desc;
    AVFormatContext* output = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwsContext* converter = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    bool headerWritten = false;
    bool finished = false;

    std::vector<float> music[2];
    int64_t musicStart = 0;       // the sample the sound starts at
    int64_t samplesWritten = 0;   // sound samples handed to the encoder
    int64_t framesEncoded = 0;
    AVRational frameTime{1, 30};  // how long a frame lasts
    AVRational copyTimeBase{0, 1};  // a copied stream's packets: their time base

    std::thread worker;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::vector<unsigned char>> queue;
    bool closing = false;
    std::string failure;  // the first error, from either thread

    ~Impl() {
        sws_freeContext(converter);
        av_frame_free(&picture);
        av_frame_free(&sound);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (output) {
            if (output->pb) avio_closep(&output->pb);
            avformat_free_context(output);
        }
    }

    // The H.264 encoder and its stream.
    bool openVideo(std::string& error) {
        const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
        if (!h264) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
        video = h264 ? avcodec_alloc_context3(h264) : nullptr;
        if (!video) {
            error = "FFmpeg has no H.264 encoder here (Debian's libavcodec brings libx264)";
            return false;
        }
        const AVRational rate = av_d2q(desc.fps, 100000);
        video->width = desc.width;
        video->height = desc.height;
        video->framerate = rate;
        video->time_base = av_inv_q(rate);
        video->pix_fmt = AV_PIX_FMT_YUV420P;
        video->gop_size = std::max(1, static_cast<int>(desc.fps * 2.0));
        // No frame refers across a keyframe, so that videos of consecutive segments join by
        // copying their streams.
        video->flags |= AV_CODEC_FLAG_CLOSED_GOP;
        video->color_primaries = AVCOL_PRI_BT709;
        video->color_trc = AVCOL_TRC_BT709;
        video->colorspace = AVCOL_SPC_BT709;
        video->color_range = AVCOL_RANGE_MPEG;
        if (output->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set(video->priv_data, "preset", "superfast", 0);
        av_opt_set_int(video->priv_data, "crf", desc.crf, 0);
        const int status = avcodec_open2(video, h264, nullptr);
        if (status < 0) {
            error = "can't open the H.264 encoder: " + describe(status);
            return false;
        }
        videoStream = avformat_new_stream(output, nullptr);
        if (!videoStream || avcodec_parameters_from_context(videoStream->codecpar, video) < 0) {
            error = "can't add the video stream";
            return false;
        }
        videoStream->time_base = video->time_base;
        videoStream->avg_frame_rate = rate;
        videoStream->r_frame_rate = rate;
        return true;
    }

    // The AAC encoder, its stream and the frame the music goes through.
    bool openAudio(std::string& error) {
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        audio = aac ? avcodec_alloc_context3(aac) : nullptr;
        if (!audio) {
            error = "FFmpeg has no AAC encoder here";
            return false;
        }
        audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
        audio->sample_rate = kSampleRate;
        audio->bit_rate = 192000;
        audio->time_base = AVRational{1, kSampleRate};
        av_channel_layout_default(&audio->ch_layout, 2);
        if (output->oformat->flags & AVFMT_GLOBALHEADER) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        const int status = avcodec_open2(audio, aac, nullptr);
        audioStream = status >= 0 ? avformat_new_stream(output, nullptr) : nullptr;
        if (!audioStream || avcodec_parameters_from_context(audioStream->codecpar, audio) < 0) {
            error = "can't open the AAC encoder: " + describe(status);
            return false;
        }
        audioStream->time_base = audio->time_base;
        sound = av_frame_alloc();
        if (sound) {
            sound->format = AV_SAMPLE_FMT_FLTP;
            sound->sample_rate = kSampleRate;
            av_channel_layout_default(&sound->ch_layout, 2);
            sound->nb_samples = audio->frame_size;
        }
        if (!sound || av_frame_get_buffer(sound, 0) < 0) {
            error = "out of memory for the sound";
            return false;
        }
        return true;
    }

    // The frame a picture is converted into, the packet and the colour conversion.
    bool makePicture(std::string& error) {
        picture = av_frame_alloc();
        packet = av_packet_alloc();
        if (!picture || !packet) {
            error = "out of memory for the video";
            return false;
        }
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = desc.width;
        picture->height = desc.height;
        if (av_frame_get_buffer(picture, 0) < 0) {
            error = "out of memory for the video frames";
            return false;
        }
        converter = makeConverter(desc.width, desc.height);
        if (!converter) {
            error = "can't set up the colour conversion";
            return false;
        }
        return true;
    }

    // Opens the file and writes its header.
    bool startFile(std::string& error) {
        int status = avio_open(&output->pb, desc.path.c_str(), AVIO_FLAG_WRITE);
        if (status < 0) {
            error = "can't write '" + desc.path + "': " + describe(status);
            return false;
        }
        // Keys of the program's own (tag()) are kept; the MP4 muxer writes the metadata with the
        // index at the end.
        AVDictionary* options = nullptr;
        av_dict_set(&options, "movflags", "use_metadata_tags", 0);
        status = avformat_write_header(output, &options);
        av_dict_free(&options);
        if (status < 0) {
            error = "can't start '" + desc.path + "': " + describe(status);
            return false;
        }
        headerWritten = true;
        return true;
    }

    void fail(const std::string& message) {
        std::lock_guard<std::mutex> guard(lock);
        if (failure.empty()) failure = message;
    }

    // Sends a frame (null: the end) and writes every packet the encoder gives back.
    bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
        int status = avcodec_send_frame(codec, frame);
        while (status >= 0) {
            status = avcodec_receive_packet(codec, packet);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) break;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            status = av_interleaved_write_frame(output, packet);
        }
        fail("encoding failed: " + describe(status) + " (is the disk full?)");
        return false;
    }

    // Sound up to `untilSample`: the music from its start sample on, wrapping at its end. The
    // encoder takes whole frames of frame_size samples; only the last one (`last`) may be shorter,
    // so the rest waits for the next picture.
    bool encodeSound(int64_t untilSample, bool last = false) {
        if (!audio) return true;
        const int64_t length = static_cast<int64_t>(music[0].size());
        while (samplesWritten + (last ? 1 : audio->frame_size) <= untilSample) {
            const int count = static_cast<int>(std::min<int64_t>(audio->frame_size, untilSample - samplesWritten));
            if (av_frame_make_writable(sound) < 0) return false;
            sound->nb_samples = count;
            for (int c = 0; c < 2; ++c) {
                auto* out = reinterpret_cast<float*>(sound->data[c]);
                for (int i = 0; i < count; ++i) out[i] = music[c][static_cast<size_t>((musicStart + samplesWritten + i) % length)];
            }
            sound->pts = samplesWritten;
            samplesWritten += count;
            if (!encode(audio, audioStream, sound)) return false;
        }
        return true;
    }

    bool encodePicture(const std::vector<unsigned char>& rgba) {
        if (av_frame_make_writable(picture) < 0) return false;
        convert(converter, rgba.data(), desc.width, desc.height, picture->data, picture->linesize);
        picture->pts = framesEncoded++;
        if (!encode(video, videoStream, picture)) return false;
        // The sound follows the pictures, so that the two streams interleave in the file.
        return encodeSound(av_rescale_q(framesEncoded, frameTime, AVRational{1, kSampleRate}));
    }

    void run() {
        for (;;) {
            std::vector<unsigned char> frame;
            {
                std::unique_lock<std::mutex> guard(lock);
                changed.wait(guard, [&] { return closing || !queue.empty(); });
                if (queue.empty()) return;
                frame = std::move(queue.front());
                queue.pop_front();
            }
            changed.notify_all();
            if (!encodePicture(frame)) {
                fail("encoding failed");
                {
                    std::lock_guard<std::mutex> guard(lock);
                    queue.clear();
                }
                changed.notify_all();  // a caller waiting for room sees the failure
                return;
            }
        }
    }
};

VideoWriter::VideoWriter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
    impl_->worker = std::thread([this] { impl_->run(); });
}

VideoWriter::~VideoWriter() {
    std::string ignored;
    finish(ignored);
}

double VideoWriter::musicSeconds() const { return static_cast<double>(impl_->music[0].size()) / kSampleRate; }

void VideoWriter::startSoundAt(double seconds) {
    Impl& w = *impl_;
    if (w.music[0].empty()) return;
    const auto length = static_cast<int64_t>(w.music[0].size());
    w.musicStart = static_cast<int64_t>(seconds * kSampleRate + 0.5) % length;
}

void VideoWriter::tag(const std::string& key, const std::string& value) {
    av_dict_set(&impl_->output->metadata, key.c_str(), value.c_str(), 0);
}

bool VideoWriter::available(std::string&) { return true; }

std::unique_ptr<VideoWriter> VideoWriter::open(const VideoDesc& desc, std::string& error) {
    quietLibraries();
    auto impl = std::make_unique<Impl>();
    Impl& w = *impl;
    w.desc = desc;
    if (desc.width <= 0 || desc.height <= 0 || desc.width % 2 || desc.height % 2) {
        error = "a video needs an even width and height";
        return nullptr;
    }
    if (!desc.music.empty() && !decodeMusic(desc.music, w.music, error)) return nullptr;
    const int status = avformat_alloc_output_context2(&w.output, nullptr, "mp4", desc.path.c_str());
    if (status < 0 || !w.output) {
        error = "can't make an MP4 file: " + describe(status);
        return nullptr;
    }
    w.frameTime = av_inv_q(av_d2q(desc.fps, 100000));
    if (!w.openVideo(error) || (!w.music[0].empty() && desc.sound && !w.openAudio(error)) || !w.makePicture(error) ||
        !w.startFile(error))
        return nullptr;
    return std::unique_ptr<VideoWriter>(new VideoWriter(std::move(impl)));
}

std::unique_ptr<VideoWriter> VideoWriter::openCopy(const VideoDesc& desc, const AVCodecParameters& video,
                                                   int timeBaseNum, int timeBaseDen, std::string& error) {
    quietLibraries();
    auto impl = std::make_unique<Impl>();
    Impl& w = *impl;
    w.desc = desc;
    w.frameTime = av_inv_q(av_d2q(desc.fps, 100000));
    w.copyTimeBase = AVRational{timeBaseNum, timeBaseDen};
    if (!desc.music.empty() && !decodeMusic(desc.music, w.music, error)) return nullptr;
    const int status = avformat_alloc_output_context2(&w.output, nullptr, "mp4", desc.path.c_str());
    if (status < 0 || !w.output) {
        error = "can't make an MP4 file: " + describe(status);
        return nullptr;
    }
    w.videoStream = avformat_new_stream(w.output, nullptr);
    if (!w.videoStream || avcodec_parameters_copy(w.videoStream->codecpar, &video) < 0) {
        error = "can't add the video stream";
        return nullptr;
    }
    w.videoStream->codecpar->codec_tag = 0;  // the muxer picks the tag for MP4
    w.videoStream->time_base = w.copyTimeBase;
    w.videoStream->avg_frame_rate = av_inv_q(w.frameTime);
    w.videoStream->r_frame_rate = w.videoStream->avg_frame_rate;
    w.packet = av_packet_alloc();
    if (!w.packet) {
        error = "out of memory for the video";
        return nullptr;
    }
    if ((!w.music[0].empty() && !w.openAudio(error)) || !w.startFile(error)) return nullptr;
    return std::unique_ptr<VideoWriter>(new VideoWriter(std::move(impl)));
}

bool VideoWriter::addPacket(AVPacket& packet) {
    Impl& w = *impl_;
    {
        std::lock_guard<std::mutex> guard(w.lock);
        if (!w.failure.empty()) return false;
    }
    av_packet_rescale_ts(&packet, w.copyTimeBase, w.videoStream->time_base);
    packet.stream_index = w.videoStream->index;
    packet.pos = -1;
    const int status = av_interleaved_write_frame(w.output, &packet);
    if (status < 0) {
        w.fail("writing failed: " + describe(status) + " (is the disk full?)");
        return false;
    }
    ++w.framesEncoded;
    // The sound follows the pictures, as for an encoded film.
    return w.encodeSound(av_rescale_q(w.framesEncoded, w.frameTime, AVRational{1, kSampleRate}));
}

bool VideoWriter::addFrame(std::vector<unsigned char> rgba) {
    Impl& w = *impl_;
    std::unique_lock<std::mutex> guard(w.lock);
    w.changed.wait(guard, [&] { return w.queue.size() < kQueued || !w.failure.empty() || w.closing; });
    if (!w.failure.empty() || w.closing) return false;
    w.queue.push_back(std::move(rgba));
    guard.unlock();
    w.changed.notify_all();
    return true;
}

bool VideoWriter::finish(std::string& error) {
    Impl& w = *impl_;
    if (w.finished) {
        error = w.failure;
        return w.failure.empty();
    }
    w.finished = true;
    {
        std::lock_guard<std::mutex> guard(w.lock);
        w.closing = true;
    }
    w.changed.notify_all();
    if (w.worker.joinable()) w.worker.join();
    // The sound ends with the last picture; then both encoders give out what they hold.
    if (w.failure.empty()) {
        w.encodeSound(av_rescale_q(w.framesEncoded, w.frameTime, AVRational{1, kSampleRate}), true);
        if (w.video) w.encode(w.video, w.videoStream, nullptr);
        if (w.audio) w.encode(w.audio, w.audioStream, nullptr);
    }
    if (w.headerWritten) {
        const int status = av_write_trailer(w.output);
        if (status < 0) w.fail("can't finish '" + w.desc.path + "': " + describe(status));
    }
    if (w.output && w.output->pb) avio_closep(&w.output->pb);
    error = w.failure;
    return w.failure.empty();
}
