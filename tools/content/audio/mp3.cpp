// MP3 encoding of the rendered tune with LAME.
#include "content/audio/music.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

namespace content {

std::vector<unsigned char> encodeMp3(const std::vector<int16_t>& samples, int sampleRate, int kbps, bool mono) {
    const size_t channels = mono ? 1 : 2;
    if (samples.size() % channels != 0)
        throw std::invalid_argument("encodeMp3: " + std::to_string(samples.size()) +
                                    " samples is not a whole number of stereo frames");
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) throw std::runtime_error("encodeMp3: lame_init failed (out of memory?)");
    lame_set_in_samplerate(lame.get(), sampleRate);
    lame_set_out_samplerate(lame.get(), sampleRate);
    lame_set_num_channels(lame.get(), static_cast<int>(channels));
    lame_set_mode(lame.get(), mono ? MONO : JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), kbps);
    lame_set_quality(lame.get(), 7);
    lame_set_write_id3tag_automatic(lame.get(), 0);
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (sampleRate <= 0 || kbps <= 0 || lame_init_params(lame.get()) < 0 ||
        lame_get_brate(lame.get()) != kbps || lame_get_out_samplerate(lame.get()) != sampleRate)
        throw std::runtime_error("encodeMp3: LAME refused " + std::to_string(sampleRate) + " Hz at " +
                                 std::to_string(kbps) +
                                 " kbit/s; MP3 needs a standard rate (e.g. 44100) and bitrate (e.g. 128)");

    constexpr size_t kChunkFrames = 8192;
    std::vector<short> chunk(kChunkFrames * channels);
    std::vector<unsigned char> buffer(kChunkFrames * 5 / 4 + 7200);
    std::vector<unsigned char> mp3;
    const size_t frames = samples.size() / channels;
    for (size_t first = 0; first < frames; first += kChunkFrames) {
        size_t count = std::min(kChunkFrames, frames - first);
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(channels * first), channels * count,
                    chunk.begin());
        // One channel goes in as both sides' buffer; LAME reads the left alone.
        int written = mono ? lame_encode_buffer(lame.get(), chunk.data(), chunk.data(), static_cast<int>(count),
                                                buffer.data(), static_cast<int>(buffer.size()))
                           : lame_encode_buffer_interleaved(lame.get(), chunk.data(), static_cast<int>(count),
                                                            buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0)
            throw std::runtime_error(std::string("encodeMp3: ") +
                                     (mono ? "lame_encode_buffer" : "lame_encode_buffer_interleaved") +
                                     " failed with " + std::to_string(written));
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + written);
    }
    int written = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (written < 0)
        throw std::runtime_error("encodeMp3: lame_encode_flush failed with " + std::to_string(written));
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + written);

    // LAME reserved the first frame for its info tag (delay and padding for gapless players).
    size_t tagSize = lame_get_lametag_frame(lame.get(), buffer.data(), buffer.size());
    if (tagSize > 0 && tagSize <= buffer.size() && tagSize <= mp3.size())
        std::copy_n(buffer.begin(), tagSize, mp3.begin());
    return mp3;
}

std::vector<unsigned char> makeDemoTune() {
    return encodeMp3(synthesizeDemoTune(kDemoTuneSampleRate), kDemoTuneSampleRate, kDemoTuneKbps);
}

}  // namespace content
