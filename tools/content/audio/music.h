// The demo's music, "demotune.mp3": a small synthesiser renders the whole tune from a fixed score
// (drums, bass, pads, bells, impacts, reverb and echo, a soft limiter on the master) and LAME
// encodes it to constant-bitrate MP3.
//
// Beat grid: 120 BPM, four beats to the bar, the first downbeat at 0.5 s. Every beat therefore
// lies on a multiple of 0.5 s and bars start at 0.5 + 2k s. Camera cuts and "shake" keys should use
// beatTimes() and accentTimes() rather than these numbers.
//
// Form (seconds; bar starts except where the film's pulses fall):
//   0    - 12.5   intro: drone in the dark, impacts at 3, 6 and 9
//   12.5 - 34.5   half-time kick, bass and dark pads enter; hats and snare from 20.5
//   34.5 - 62.5   kick and snare drop out; impacts on the eye pulses 34.7 ... 60.7
//   62.5 - 82.5   build-up: four-to-the-floor, snare roll, noise riser, one beat of silence
//   82.5          the drop, where the gears start
//   82.5 - 120.5  full groove with a lead line
//   120.5 - 152.5 heavy: driven bass, extra kicks, an impact every second bar
//   152.5 - 182.5 credits: lighter chords, bell arpeggio, soft drums
//   182.5 - 198.5 the drums thin out
//   198.5 - 220   calm ending: pads only, fading to silence by 219.5 so that the loop seam is quiet
// Key: D minor (Dm Bb Gm A); the credits move to F C Dm Bb.
#pragma once

#include <cstdint>
#include <vector>

namespace content {

constexpr double kDemoTuneSeconds = 220.0;
constexpr double kDemoTuneBpm = 120.0;
constexpr double kDemoTuneFirstDownbeatSeconds = 0.5;
constexpr int kDemoTuneBeatsPerBar = 4;
constexpr int kDemoTuneSampleRate = 44100;
constexpr int kDemoTuneKbps = 160;

// The whole tune as interleaved stereo 16-bit samples (left, right, left, ...):
// round(kDemoTuneSeconds * sampleRate) frames. Peaks stay below about -1 dBFS.
// Throws std::invalid_argument for a sample rate outside 8000 to 192000.
std::vector<int16_t> synthesizeDemoTune(int sampleRate);

// Constant-bitrate MP3 of 16-bit samples, without ID3 tags: joint stereo from interleaved
// stereo samples, or with `mono` one channel from one channel's samples. The first frame is
// LAME's info tag (encoder delay and padding, so players can trim them).
// Throws std::invalid_argument for an odd sample count (stereo) and std::runtime_error when LAME
// refuses the rate or bitrate.
std::vector<unsigned char> encodeMp3(const std::vector<int16_t>& samples, int sampleRate, int kbps,
                                     bool mono = false);

// The bytes of "demotune.mp3": the tune at kDemoTuneSampleRate, encoded at kDemoTuneKbps.
std::vector<unsigned char> makeDemoTune();

// Every beat of the grid in seconds, ascending, from the first downbeat to the end of the tune.
// The drums play on these from 12.5 s to 198.5 s, except between 34.5 and 62.5 where only the hats
// and the impacts play.
std::vector<float> beatTimes();

// The strong hits, ascending: the film's pulses (3, 6, 9, 34.7 ... 60.7), the drop at 82.5 and the
// heavy section's impacts every second bar from 120.5 to 148.5.
std::vector<float> accentTimes();

// The heavy hits, ascending: the drop at 82.5 and the heavy section's impacts (the accents from
// the drop on). The hall answers them: the camera shakes and the hanging lamps swing.
std::vector<float> heavyHitTimes();

}  // namespace content
