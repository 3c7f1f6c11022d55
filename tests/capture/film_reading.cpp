#include "film_reading.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "assets/image.h"
#include "capture/video_writer.h"

namespace {

AVCodecContext* openDecoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (decoder && (avcodec_parameters_to_context(decoder, stream->codecpar) < 0 || avcodec_open2(decoder, codec, nullptr) < 0))
        avcodec_free_context(&decoder);
    return decoder;
}

}  // namespace

Film readFilm(const std::string& path) {
    av_log_set_level(AV_LOG_ERROR);  // the MP3 decoder's notes on skipped priming samples
    Film film;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) return film;
    avformat_find_stream_info(input, nullptr);
    const int video = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVCodecContext* pictures = video >= 0 ? openDecoder(input->streams[video]) : nullptr;  // none: sound alone
    AVCodecContext* sound = audio >= 0 ? openDecoder(input->streams[audio]) : nullptr;
    if (video >= 0) film.rate = av_q2d(input->streams[video]->avg_frame_rate);
    if (audio >= 0) {
        const AVStream* stream = input->streams[audio];
        film.audioSeconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const double timeBase = video >= 0 ? av_q2d(input->streams[video]->time_base) : 0.0;
    const auto take = [&] {
        while (pictures && avcodec_receive_frame(pictures, frame) >= 0) {
            film.width = frame->width;
            film.height = frame->height;
            std::vector<unsigned char> y(static_cast<size_t>(frame->width) * frame->height);
            for (int row = 0; row < frame->height; ++row)
                std::copy_n(frame->data[0] + row * frame->linesize[0], frame->width, y.begin() + row * frame->width);
            film.times.push_back(static_cast<double>(frame->best_effort_timestamp) * timeBase);
            film.lumas.push_back(std::move(y));
        }
    };
    int64_t samples = 0;
    const auto hear = [&] {
        while (sound && avcodec_receive_frame(sound, frame) >= 0) {
            film.sampleRate = frame->sample_rate;
            samples += frame->nb_samples;
            // Planar or packed, float (AAC) or 16-bit (MP3): the first two channels.
            const auto format = static_cast<AVSampleFormat>(frame->format);
            const bool planar = av_sample_fmt_is_planar(format);
            const int channels = std::min(frame->ch_layout.nb_channels, 2);
            for (int c = 0; c < channels; ++c) {
                std::vector<float>& out = c == 0 ? film.left : film.right;
                const uint8_t* plane = frame->extended_data[planar ? c : 0];
                for (int i = 0; i < frame->nb_samples; ++i) {
                    const int index = planar ? i : i * frame->ch_layout.nb_channels + c;
                    switch (av_get_packed_sample_fmt(format)) {
                    case AV_SAMPLE_FMT_FLT: out.push_back(reinterpret_cast<const float*>(plane)[index]); break;
                    case AV_SAMPLE_FMT_S16: out.push_back(reinterpret_cast<const int16_t*>(plane)[index] / 32768.0f); break;
                    default: break;
                    }
                }
            }
        }
    };
    while ((pictures || sound) && av_read_frame(input, packet) >= 0) {
        if (pictures && packet->stream_index == video && avcodec_send_packet(pictures, packet) >= 0) take();
        if (sound && packet->stream_index == audio && avcodec_send_packet(sound, packet) >= 0) hear();
        av_packet_unref(packet);
    }
    if (pictures) {
        avcodec_send_packet(pictures, nullptr);
        take();
    }
    if (sound) {
        avcodec_send_packet(sound, nullptr);
        hear();
        film.decodedAudioSeconds = static_cast<double>(samples) / sound->sample_rate;
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&pictures);
    avcodec_free_context(&sound);
    avformat_close_input(&input);
    return film;
}

double lumaPsnr(const std::vector<unsigned char>& y, const std::string& png) {
    DecodedImage image;
    if (!decodePng(png, image)) return 0.0;
    std::vector<unsigned char> expected, u, v;
    const bool converted = videoPlanes(image.pixels, image.width, image.height, expected, u, v);
    releasePixels(image);
    if (!converted || expected.size() != y.size()) return 0.0;
    double error = 0.0;
    for (size_t i = 0; i < y.size(); ++i) error += (y[i] - expected[i]) * double(y[i] - expected[i]);
    error /= static_cast<double>(y.size());
    return error == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / error);
}

MusicMatch matchMusic(const std::vector<float>& sound, long at, long count, const std::vector<float>& music,
                      long musicAt, long reach) {
    MusicMatch best;
    const auto length = static_cast<long>(music.size());
    if (at < 0 || count <= 0 || at + count > static_cast<long>(sound.size()) || length == 0) return best;
    for (long lag = -reach; lag <= reach; ++lag) {
        double ab = 0.0, aa = 0.0, bb = 0.0;
        for (long i = 0; i < count; ++i) {
            const double a = sound[static_cast<size_t>(at + i)];
            const double b = music[static_cast<size_t>(((musicAt + i + lag) % length + length) % length)];
            ab += a * b, aa += a * a, bb += b * b;
        }
        const double correlation = aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : -1.0;
        if (correlation > best.correlation) best = {lag, correlation};
    }
    return best;
}
