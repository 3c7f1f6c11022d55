#include "content/audio/music.h"

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct Decoded {
    int sampleRate = 0, channels = 0, kbps = 0;
    std::vector<short> left, right;
    double seconds() const { return sampleRate ? static_cast<double>(left.size()) / sampleRate : 0.0; }
};

// Decodes with LAME's own decoder, one frame per call, so the output buffers stay bounded.
Decoded decode(std::vector<unsigned char> mp3) {
    std::unique_ptr<hip_global_flags, int (*)(hip_t)> hip(hip_decode_init(), hip_decode_exit);
    Decoded out;
    std::vector<short> left(1152 * 2), right(1152 * 2);
    constexpr size_t kChunk = 4096;
    for (size_t offset = 0; offset < mp3.size(); offset += kChunk) {
        size_t length = std::min(kChunk, mp3.size() - offset);
        unsigned char* input = mp3.data() + offset;
        // Until the first samples the decoder may answer 0 while it reads the header and the
        // info tag; after that, frames come one a call until it needs more bytes.
        for (int idle = 0;;) {
            mp3data_struct header{};
            int got = hip_decode1_headers(hip.get(), input, length, left.data(), right.data(), &header);
            input = nullptr;
            length = 0;
            if (got < 0) ADD_FAILURE() << "decoding error near byte " << offset;
            if (got < 0 || (got == 0 && (!out.left.empty() || ++idle > 3))) break;
            if (header.header_parsed) {
                out.sampleRate = header.samplerate;
                out.channels = header.stereo;
                out.kbps = header.bitrate;
            }
            out.left.insert(out.left.end(), left.begin(), left.begin() + got);
            out.right.insert(out.right.end(), right.begin(), right.begin() + got);
        }
    }
    return out;
}

// RMS of both channels over [from, from + length) seconds, in dBFS.
double levelDb(const Decoded& d, double from, double length) {
    size_t first = static_cast<size_t>(std::max(0.0, from) * d.sampleRate);
    size_t last = std::min(d.left.size(), static_cast<size_t>((from + length) * d.sampleRate));
    double sum = 0;
    for (size_t i = first; i < last; ++i)
        sum += static_cast<double>(d.left[i]) * d.left[i] + static_cast<double>(d.right[i]) * d.right[i];
    double meanSquare = sum / std::max<size_t>(1, 2 * (last - first)) / (32768.0 * 32768.0);
    return 10.0 * std::log10(meanSquare + 1e-12);
}

// Synthesis, encoding and decoding take seconds, and each test case runs in its own process, so the
// checks of the finished tune share one case; each group reports under its own trace.
struct Tune {
    std::vector<int16_t> pcm = content::synthesizeDemoTune(content::kDemoTuneSampleRate);
    std::vector<unsigned char> mp3 = content::encodeMp3(pcm, content::kDemoTuneSampleRate, content::kDemoTuneKbps);
    Decoded decoded = decode(mp3);
};

void checkLengthAndFormat(const Tune& tune) {
    EXPECT_EQ(tune.pcm.size(), static_cast<size_t>(2 * content::kDemoTuneSeconds * content::kDemoTuneSampleRate));
    const Decoded& d = tune.decoded;
    EXPECT_EQ(d.sampleRate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_GE(d.kbps, 128);
    // The decoder keeps LAME's encoder delay and padding: at most a few frames beyond the tune.
    EXPECT_NEAR(d.seconds(), content::kDemoTuneSeconds, 0.15);
    EXPECT_LT(tune.mp3.size(), 6u * 1024 * 1024);
}

void checkAudibleWithoutClipping(const Tune& tune) {
    const Decoded& d = tune.decoded;
    for (double t = 1.0; t < 214.0; t += 2.0) EXPECT_GT(levelDb(d, t, 2.0), -40.0) << "near-silence at " << t << " s";
    int16_t peak = 0;
    for (int16_t s : tune.pcm) peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(s)));
    EXPECT_LT(peak, 31000) << "the master limiter let a peak through";
    EXPECT_GT(peak, 16000) << "the tune is far quieter than intended";
    // The loop seam is quiet: the tune fades out before it starts again.
    EXPECT_LT(levelDb(d, 219.6, 0.4), -60.0);
}

void checkPulses(const Tune& tune) {
    const Decoded& d = tune.decoded;
    const std::vector<double> pulses = {3, 6, 9, 34.7, 39.7, 43.6, 45.6, 48.6, 53.1, 55, 58.1, 60.7};
    double previous = 0.0;
    for (double pulse : pulses) {
        // Halfway to the previous pulse, or 1.5 s before a pulse that opens a new group.
        double between = pulse - std::min(1.5, 0.5 * (pulse - previous));
        EXPECT_GT(levelDb(d, pulse, 0.2), levelDb(d, between - 0.1, 0.2) + 8.0) << "pulse at " << pulse << " s";
        previous = pulse;
    }
}

void checkForm(const Tune& tune) {
    const Decoded& d = tune.decoded;
    // A held breath before the drop at 82.5 s, then the full groove.
    EXPECT_LT(levelDb(d, 82.1, 0.3), levelDb(d, 82.5, 2.0) - 10.0);
    EXPECT_GT(levelDb(d, 84.5, 8.0), levelDb(d, 64.5, 8.0) + 2.0);
    // Heavier from 120.5 s, lighter for the credits, calm at the end.
    EXPECT_GT(levelDb(d, 124.5, 16.0), levelDb(d, 100.5, 16.0) + 1.0);
    EXPECT_LT(levelDb(d, 160.5, 16.0), levelDb(d, 124.5, 16.0) - 4.0);
    EXPECT_LT(levelDb(d, 202.0, 10.0), levelDb(d, 160.5, 16.0) - 2.0);
}

TEST(DemoTune, EncodedTuneMeetsThePlan) {
#if VOLTARESCA_SANITIZER_FLAVOUR
    GTEST_SKIP() << "the tune is judged in the plain flavour; DemoTuneSynthesis runs its synthesiser here (see CMakeLists.txt)";
#endif
    const Tune tune;
    {
        SCOPED_TRACE("length and format");
        checkLengthAndFormat(tune);
    }
    {
        SCOPED_TRACE("level and clipping");
        checkAudibleWithoutClipping(tune);
    }
    {
        SCOPED_TRACE("pulses");
        checkPulses(tune);
    }
    {
        SCOPED_TRACE("form");
        checkForm(tune);
    }
}

TEST(DemoTuneGrid, BeatsAndAccentsMatchTheTune) {
    std::vector<float> beats = content::beatTimes();
    ASSERT_FALSE(beats.empty());
    EXPECT_FLOAT_EQ(beats.front(), 0.5f);
    EXPECT_LT(beats.back(), content::kDemoTuneSeconds);
    for (size_t i = 1; i < beats.size(); ++i) EXPECT_NEAR(beats[i] - beats[i - 1], 0.5f, 1e-4f);

    std::vector<float> accents = content::accentTimes();
    EXPECT_TRUE(std::is_sorted(accents.begin(), accents.end()));
    for (float required : {3.0f, 6.0f, 9.0f, 34.7f, 39.7f, 43.6f, 45.6f, 48.6f, 53.1f, 55.0f, 58.1f, 60.7f, 82.5f})
        EXPECT_TRUE(std::any_of(accents.begin(), accents.end(), [&](float a) { return std::abs(a - required) < 1e-4f; }))
            << required << " s is missing";
    // The heavy section's accents fall on beats, so shakes and cuts line up with the drums.
    for (float a : accents) {
        if (a > 100.0f) {
            EXPECT_TRUE(std::any_of(beats.begin(), beats.end(), [&](float b) { return std::abs(a - b) < 1e-4f; }))
                << a;
        }
    }
}

TEST(DemoTuneSynthesis, IsDeterministicAndFollowsTheSampleRate) {
    std::vector<int16_t> a = content::synthesizeDemoTune(8000);
    EXPECT_EQ(a.size(), static_cast<size_t>(2 * 220 * 8000));
    EXPECT_EQ(a, content::synthesizeDemoTune(8000));
    EXPECT_THROW(content::synthesizeDemoTune(0), std::invalid_argument);
}

// The message of what `f` throws as `E`, or "" (with a failure) when it throws nothing.
template <class E, class F>
std::string thrownMessage(F f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    ADD_FAILURE() << "nothing thrown";
    return "";
}

TEST(DemoTuneEncoding, RejectsBadInputWithAClearError) {
    std::vector<int16_t> odd(3, 0);
    EXPECT_EQ(thrownMessage<std::invalid_argument>([&] { content::encodeMp3(odd, 44100, 160); }).rfind("encodeMp3: 3 ", 0), 0u);
    std::vector<int16_t> silence(2 * 4410, 0);
    EXPECT_THROW(content::encodeMp3(silence, 44100, 0), std::runtime_error);
    EXPECT_EQ(thrownMessage<std::runtime_error>([&] { content::encodeMp3(silence, 12345, 160); }).rfind("encodeMp3: LAME refused 12345 Hz at 160", 0), 0u);
    EXPECT_EQ(thrownMessage<std::runtime_error>([&] { content::encodeMp3(silence, 44100, 150); }).rfind("encodeMp3: LAME refused 44100 Hz at 150", 0), 0u);
    // A short clip still encodes and decodes to its length (plus the encoder's delay and padding).
    Decoded d = decode(content::encodeMp3(silence, 44100, 128));
    EXPECT_EQ(d.sampleRate, 44100);
    EXPECT_GE(d.seconds(), 0.1);
    EXPECT_LT(d.seconds(), 0.2);
}

}  // namespace
