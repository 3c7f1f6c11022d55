// The synthesiser the score plays: the mix buses, the instruments that add notes and hits to
// them, and the effects and the limiter that turn the buses into 16-bit stereo. Times are seconds
// on the tune's clock, notes MIDI numbers, pans -1 (left) to 1 (right). Every instrument is
// deterministic: its noise is seeded from the time it plays at.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace content::synth {

// How much of a voice goes to the reverb and to the echo, besides the dry mix.
struct Send {
    float reverb = 0, echo = 0;
};

// The mix buses: dry stereo plus mono sends into the reverb and the echo.
struct Mix {
    float rate;
    size_t frames;
    std::vector<float> left, right, reverb, echo;

    Mix(int sampleRate, size_t frameCount)
        : rate(static_cast<float>(sampleRate)), frames(frameCount), left(frameCount),
          right(frameCount), reverb(frameCount), echo(frameCount) {}

    size_t frameAt(double seconds) const {
        double f = std::max(0.0, seconds) * rate + 0.5;
        return std::min(frames, static_cast<size_t>(f));
    }

    // Run voice(t) for `length` seconds from `start` and add it to the buses: a stereo voice
    // returns {left, right}, a mono one a sample placed at `pan`. The instruments' own plumbing.
    template <class Voice>
    void addStereo(double start, double length, Send send, Voice&& voice);
    template <class Voice>
    void addMono(double start, double length, float pan, Send send, Voice&& voice);
};

// ---- Drums and percussion -----------------------------------------------------------------------

void kick(Mix& mix, double at, float velocity);
void snare(Mix& mix, double at, float velocity, float pan = 0.0f, float pitch = 1.0f);
void hat(Mix& mix, double at, float velocity, bool open, float pan);
void crash(Mix& mix, double at, float velocity);
// Struck metal: the inharmonic partials of a free bar, for the machine-hall percussion.
void clank(Mix& mix, double at, float velocity, float pan, float baseHz);
// The film's pulse: a sub boom, a burst of falling noise and a large struck metal body.
void impact(Mix& mix, double at, float velocity);

// ---- Tuned voices -------------------------------------------------------------------------------

// A filtered two-saw voice with a sub oscillator: the bass, and with other settings the lead.
struct SawNote {
    double start = 0, length = 0.1;
    float note = 38, velocity = 1;
    float cutoff = 300, envelope = 1200, envelopeDecay = 0.12f, q = 1.4f, drive = 1.5f;
    float sub = 0.5f, detune = 0.004f, release = 0.03f, pan = 0;
    Send send{0.04f, 0.0f};
};
void sawVoice(Mix& mix, const SawNote& n);

// A slow, wide pad note: three detuned saws spread left to right through swaying low-pass filters.
struct PadNote {
    double start = 0, length = 4;
    float note = 57, velocity = 0.5f;
    float cutoffFrom = 900, cutoffTo = 900;
    float attack = 1.2f, release = 2.0f;
    Send send{0.45f, 0.05f};
};
void pad(Mix& mix, const PadNote& n);

// A two-operator FM bell for the credits arpeggio and the ending.
void bell(Mix& mix, double at, float note, float velocity, float pan, float decay = 0.5f);

// ---- Noises -------------------------------------------------------------------------------------

// Noise swept upwards through a resonant band-pass, growing louder: the build-up before the drop.
void riser(Mix& mix, double start, double end, float velocity);
// Electric crackle: sparse random sparks with millisecond decays, the discharges on the head.
void crackle(Mix& mix, double start, double length, float density, float velocity, uint32_t seed);

// ---- Effects and the master bus -----------------------------------------------------------------

// Ping-pong echo of the echo bus, `delaySeconds` long; its output also feeds the reverb bus.
void applyEcho(Mix& mix, double delaySeconds);
// An eight-line feedback delay network with a Householder mix and damped lines: a large dark hall.
void applyReverb(Mix& mix);
// Gain, a short fade-in, a fade-out between the two times (silence after), a look-ahead peak
// limiter and a soft knee above 0.8 of full scale: interleaved stereo 16-bit samples.
std::vector<int16_t> master(Mix& mix, double fadeOutFrom, double fadeOutTo);

}  // namespace content::synth
