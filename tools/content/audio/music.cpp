#include "content/audio/music.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

namespace content {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeat = 60.0 / kDemoTuneBpm;
constexpr double kStep = kBeat / 4.0;  // a sixteenth note
constexpr double kBar = kBeat * kDemoTuneBeatsPerBar;

// The film's eye pulses; the impacts land exactly on them.
constexpr std::array<double, 12> kPulses = {3.0,  6.0,  9.0,  34.7, 39.7, 43.6,
                                            45.6, 48.6, 53.1, 55.0, 58.1, 60.7};
constexpr double kDrop = 82.5;
constexpr int kFirstHeavyBar = 60;  // 120.5 s
constexpr int kFirstCreditsBar = 76;  // 152.5 s

double barTime(int bar) { return kDemoTuneFirstDownbeatSeconds + bar * kBar; }
double stepTime(int bar, double step) { return barTime(bar) + step * kStep; }
float midiHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

std::vector<double> heavyImpactTimes() {
    std::vector<double> times;
    for (int bar = kFirstHeavyBar; bar < kFirstCreditsBar - 1; bar += 2) times.push_back(barTime(bar));
    return times;
}

// Linear-congruential generator: the same seed gives the same noise on every machine.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 0x9e3779b9u) {}
    float unit() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<float>(state_ >> 8) * (1.0f / 16777216.0f);
    }
    float bipolar() { return unit() * 2.0f - 1.0f; }

private:
    uint32_t state_;
};

// Zero-delay state-variable filter; stable for any cutoff below Nyquist, so sweeps cannot blow up.
struct Svf {
    float ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0, k = 1;
    float low = 0, band = 0, high = 0;
    void set(float cutoffHz, float q, float rate) {
        float fc = std::clamp(cutoffHz, 10.0f, 0.45f * rate);
        float g = std::tan(static_cast<float>(kPi) * fc / rate);
        k = 1.0f / q;
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void process(float in) {
        float v3 = in - ic2;
        float v1 = a1 * ic1 + a2 * v3;
        float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        low = v2;
        band = v1;
        high = in - k * v1 - v2;
    }
};

// Band-limited sawtooth (polyBLEP): plain saws alias audibly at pad pitches.
struct Saw {
    float phase = 0, dt = 0;
    float next() {
        float t = phase;
        phase += dt;
        if (phase >= 1.0f) phase -= 1.0f;
        float value = 2.0f * t - 1.0f;
        if (t < dt) {
            float x = t / dt;
            value -= x + x - x * x - 1.0f;
        } else if (t > 1.0f - dt) {
            float x = (t - 1.0f) / dt;
            value -= x * x + x + x + 1.0f;
        }
        return value;
    }
};

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

    // Runs voice(t) -> {left, right} for `length` seconds from `start` and adds it to the buses.
    template <class Voice>
    void addStereo(double start, double length, Send send, Voice&& voice) {
        size_t first = frameAt(start);
        size_t last = frameAt(start + length);
        double offset = first / static_cast<double>(rate) - start;  // keeps hits sample-accurate
        for (size_t i = first; i < last; ++i) {
            float t = static_cast<float>(offset + (i - first) / static_cast<double>(rate));
            std::array<float, 2> s = voice(t);
            left[i] += s[0];
            right[i] += s[1];
            float mono = 0.5f * (s[0] + s[1]);
            reverb[i] += mono * send.reverb;
            echo[i] += mono * send.echo;
        }
    }

    template <class Voice>
    void addMono(double start, double length, float pan, Send send, Voice&& voice) {
        float angle = (pan + 1.0f) * static_cast<float>(kPi) / 4.0f;
        float gainLeft = std::cos(angle) * 1.4142135f, gainRight = std::sin(angle) * 1.4142135f;
        addStereo(start, length, send, [&](float t) -> std::array<float, 2> {
            float s = voice(t);
            return {s * gainLeft, s * gainRight};
        });
    }
};

// ---- Instruments --------------------------------------------------------------------------------
// Every voice is called once per frame in order, so envelopes are multiplications and oscillators
// are phase accumulators: the tune has millions of voice-frames and libm calls per frame cost seconds.

// sin(2 pi turns), within about 1e-5 of the true value.
inline float sinTurns(float turns) {
    float p = turns - std::floor(turns + 0.5f);  // [-0.5, 0.5)
    if (p > 0.25f) {
        p = 0.5f - p;
    } else if (p < -0.25f) {
        p = -0.5f - p;
    }
    float x = p * 6.2831853f, x2 = x * x;
    return x * (1.0f - x2 / 6.0f * (1.0f - x2 / 20.0f * (1.0f - x2 / 42.0f * (1.0f - x2 / 72.0f))));
}

// tanh's shape (a Pade approximant), exactly +-1 beyond +-3.
float softClip(float x) {
    if (x >= 3.0f) return 1.0f;
    if (x <= -3.0f) return -1.0f;
    float x2 = x * x;
    return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

// exp(-perSecond * t) from 1 (or `start`), one frame per next(). Tiny values snap to zero:
// denormal floats are a hundred times slower and fast decays reach them within milliseconds.
struct Decay {
    float value, factor;
    Decay(float perSecond, float rate, float start = 1.0f)
        : value(start), factor(std::exp(-perSecond / rate)) {}
    float next() {
        float v = value;
        value = v > 1e-15f || v < -1e-15f ? v * factor : 0.0f;
        return v;
    }
};

struct Phase {
    float turns = 0;
    float advance(float hz, float rate) {
        float current = turns;
        turns += hz / rate;
        if (turns >= 1.0f) turns -= std::floor(turns);
        return current;
    }
};

uint32_t seedAt(double seconds, uint32_t salt) { return static_cast<uint32_t>(seconds * 1000.0) * 31u + salt; }

void kick(Mix& mix, double at, float velocity) {
    Random noise(seedAt(at, 1));
    Phase phase;
    Decay sweep(38.0f, mix.rate), thump(250.0f, mix.rate), attack(3000.0f, mix.rate),
        body(7.5f, mix.rate), click(700.0f, mix.rate, 0.35f);
    mix.addMono(at, 0.55, 0.0f, {0.03f, 0.0f}, [&](float) {
        float hz = 44.0f + 115.0f * sweep.next() + 300.0f * thump.next();
        float tone = softClip(2.2f * sinTurns(phase.advance(hz, mix.rate)));
        float amp = (1.0f - attack.next()) * body.next();
        return velocity * (0.85f * tone * amp + noise.bipolar() * click.next());
    });
}

void snare(Mix& mix, double at, float velocity, float pan = 0.0f, float pitch = 1.0f) {
    Random noise(seedAt(at, 7));
    Svf hiss;
    hiss.set(2800.0f * pitch, 0.7f, mix.rate);
    Phase phase;
    Decay sweep(50.0f, mix.rate), body(22.0f, mix.rate), rattle(13.0f, mix.rate);
    mix.addMono(at, 0.4, pan, {0.28f, 0.0f}, [&](float) {
        float hz = (175.0f + 80.0f * sweep.next()) * pitch;
        float tone = sinTurns(phase.advance(hz, mix.rate)) * body.next();
        hiss.process(noise.bipolar());
        float fizz = (hiss.high + 0.6f * hiss.band) * rattle.next();
        return velocity * 0.8f * softClip(1.4f * (0.7f * tone + 0.9f * fizz));
    });
}

// Six square waves at the classic inharmonic cymbal ratios.
struct Metal {
    std::array<float, 6> phase{}, dt{};
    Metal(float baseHz, float rate) {
        constexpr std::array<float, 6> ratios = {2.0f, 3.0f, 4.16f, 5.43f, 6.79f, 8.21f};
        for (size_t i = 0; i < ratios.size(); ++i) dt[i] = baseHz * ratios[i] / rate;
    }
    float next() {
        float sum = 0;
        for (size_t i = 0; i < phase.size(); ++i) {
            phase[i] += dt[i];
            if (phase[i] >= 1.0f) phase[i] -= 1.0f;
            sum += phase[i] < 0.5f ? 1.0f : -1.0f;
        }
        return sum / 6.0f;
    }
};

void hat(Mix& mix, double at, float velocity, bool open, float pan) {
    Random noise(seedAt(at, 13));
    Metal metal(open ? 330.0f : 360.0f, mix.rate);
    Svf bright;
    bright.set(7500.0f, 0.9f, mix.rate);
    float decay = open ? 0.2f : 0.035f;
    Decay attack(4000.0f, mix.rate), body(1.0f / decay, mix.rate);
    mix.addMono(at, decay * 6.0f, pan, {0.12f, open ? 0.1f : 0.0f}, [&](float) {
        bright.process(0.7f * metal.next() + 0.5f * noise.bipolar());
        return velocity * 0.55f * bright.high * (1.0f - attack.next()) * body.next();
    });
}

void crash(Mix& mix, double at, float velocity) {
    Random noiseLeft(seedAt(at, 17)), noiseRight(seedAt(at, 19));
    Metal metal(297.0f, mix.rate);
    Svf left, right;
    left.set(5000.0f, 0.8f, mix.rate);
    right.set(5200.0f, 0.8f, mix.rate);
    Decay attack(2000.0f, mix.rate), body(1.5f, mix.rate);
    mix.addStereo(at, 3.0, {0.25f, 0.0f}, [&](float) -> std::array<float, 2> {
        float m = metal.next() * 0.5f;
        left.process(noiseLeft.bipolar() + m);
        right.process(noiseRight.bipolar() + m);
        float amp = velocity * 0.32f * (1.0f - attack.next()) * body.next();
        return {left.high * amp, right.high * amp};
    });
}

// Struck metal: the inharmonic partials of a free bar, for the machine-hall percussion.
constexpr std::array<float, 5> kBarRatios = {1.0f, 2.76f, 5.40f, 8.93f, 13.34f};

void clank(Mix& mix, double at, float velocity, float pan, float baseHz) {
    constexpr std::array<float, 5> decays = {0.45f, 0.3f, 0.2f, 0.12f, 0.08f};
    constexpr std::array<float, 5> levels = {1.0f, 0.7f, 0.45f, 0.3f, 0.2f};
    Random noise(seedAt(at, 23));
    std::array<Phase, 5> phases;
    std::vector<Decay> envelopes;
    for (size_t i = 0; i < decays.size(); ++i) envelopes.emplace_back(1.0f / decays[i], mix.rate, levels[i]);
    Decay strike(300.0f, mix.rate);
    mix.addMono(at, 1.0, pan, {0.3f, 0.35f}, [&](float) {
        float sum = 0;
        for (size_t i = 0; i < phases.size(); ++i)
            sum += envelopes[i].next() * sinTurns(phases[i].advance(baseHz * kBarRatios[i], mix.rate));
        return velocity * 0.3f * (sum + noise.bipolar() * strike.next());
    });
}

// The film's pulse: a sub boom, a burst of falling noise and a large struck metal body.
void impact(Mix& mix, double at, float velocity) {
    constexpr std::array<float, 4> decays = {0.9f, 0.55f, 0.3f, 0.18f};
    Random noiseLeft(seedAt(at, 29)), noiseRight(seedAt(at, 31));
    Svf left, right;
    Phase boomPhase;
    std::array<Phase, 4> metalPhases;
    for (size_t i = 0; i < metalPhases.size(); ++i) metalPhases[i].turns = 0.16f * i;
    std::vector<Decay> metalEnvelopes;
    for (float d : decays) metalEnvelopes.emplace_back(1.0f / d, mix.rate, 0.18f);
    Decay sweep(16.0f, mix.rate), attack(2500.0f, mix.rate), boomBody(3.2f, mix.rate),
        filterSweep(9.0f, mix.rate), hiss(6.0f, mix.rate, 0.7f);
    int frame = 0;
    mix.addStereo(at, 2.2, {0.45f, 0.0f}, [&](float) -> std::array<float, 2> {
        float hz = 36.0f + 95.0f * sweep.next();
        float boom = softClip(2.5f * sinTurns(boomPhase.advance(hz, mix.rate))) *
                     (1.0f - attack.next()) * boomBody.next();
        float cutoff = 150.0f + 7000.0f * filterSweep.next();
        if ((frame++ & 7) == 0) {
            left.set(cutoff, 0.9f, mix.rate);
            right.set(cutoff * 1.05f, 0.9f, mix.rate);
        }
        left.process(noiseLeft.bipolar());
        right.process(noiseRight.bipolar());
        float hissAmp = hiss.next();
        float metal = 0;
        for (size_t i = 0; i < metalPhases.size(); ++i)
            metal += metalEnvelopes[i].next() * sinTurns(metalPhases[i].advance(73.0f * kBarRatios[i], mix.rate));
        return {velocity * (0.9f * boom + left.low * hissAmp + metal),
                velocity * (0.9f * boom + right.low * hissAmp + metal)};
    });
}

// A filtered two-saw voice with a sub oscillator: the bass, and with other settings the lead.
struct SawNote {
    double start = 0, length = 0.1;
    float note = 38, velocity = 1;
    float cutoff = 300, envelope = 1200, envelopeDecay = 0.12f, q = 1.4f, drive = 1.5f;
    float sub = 0.5f, detune = 0.004f, release = 0.03f, pan = 0;
    Send send{0.04f, 0.0f};
};

void sawVoice(Mix& mix, const SawNote& n) {
    float hz = midiHz(n.note);
    Saw a, b;
    a.dt = hz * (1.0f + n.detune) / mix.rate;
    b.dt = hz * (1.0f - n.detune) / mix.rate;
    b.phase = 0.37f;
    Svf filter;
    Phase sub;
    Decay sweep(1.0f / n.envelopeDecay, mix.rate), release(1.0f / n.release, mix.rate);
    const float attackFrames = 0.004f * mix.rate;
    const size_t heldFrames = static_cast<size_t>(n.length * mix.rate);
    const float gain = n.velocity * 0.5f / softClip(n.drive);
    size_t frame = 0;
    mix.addMono(n.start, n.length + n.release * 6.0f, n.pan, n.send, [&](float) {
        float cutoffMove = sweep.next();
        if ((frame & 7) == 0) filter.set(n.cutoff + n.envelope * cutoffMove, n.q, mix.rate);
        filter.process(0.5f * (a.next() + b.next()));
        float y = filter.low + n.sub * sinTurns(sub.advance(hz, mix.rate));
        float amp = std::min(1.0f, frame / attackFrames);
        if (frame >= heldFrames) amp *= release.next();
        ++frame;
        return gain * softClip(n.drive * y) * amp;
    });
}

// A slow, wide pad note: three detuned saws spread left to right through swaying low-pass filters.
struct PadNote {
    double start = 0, length = 4;
    float note = 57, velocity = 0.5f;
    float cutoffFrom = 900, cutoffTo = 900;
    float attack = 1.2f, release = 2.0f;
    Send send{0.45f, 0.05f};
};

void pad(Mix& mix, const PadNote& n) {
    float hz = midiHz(n.note);
    Random random(static_cast<uint32_t>(n.start * 100.0 + n.note * 7.0));
    std::array<Saw, 3> saws;
    constexpr std::array<float, 3> detune = {-0.006f, 0.0f, 0.0065f};
    for (size_t i = 0; i < saws.size(); ++i) {
        saws[i].dt = hz * (1.0f + detune[i]) / mix.rate;
        saws[i].phase = random.unit();
    }
    float sway = random.unit();
    Svf left, right;
    Decay release(4.0f / n.release, mix.rate);
    const size_t heldFrames = static_cast<size_t>(n.length * mix.rate);
    const float attackFrames = n.attack * mix.rate;
    size_t frame = 0;
    mix.addStereo(n.start, n.length + n.release * 1.25f, n.send, [&](float t) -> std::array<float, 2> {
        if ((frame & 15) == 0) {
            float progress = std::min(1.0f, t / static_cast<float>(n.length));
            float cutoff = n.cutoffFrom + (n.cutoffTo - n.cutoffFrom) * progress;
            cutoff *= 1.0f + 0.3f * sinTurns(0.13f * t + sway);
            left.set(cutoff, 0.9f, mix.rate);
            right.set(cutoff * 1.1f, 0.9f, mix.rate);
        }
        float s0 = saws[0].next(), s1 = saws[1].next(), s2 = saws[2].next();
        left.process(s0 + 0.5f * s1);
        right.process(s2 + 0.5f * s1);
        float rise = std::min(1.0f, frame / attackFrames);
        float amp = rise * rise * (3.0f - 2.0f * rise);
        if (frame >= heldFrames) amp *= release.next();
        ++frame;
        float g = n.velocity * 0.22f * amp;
        return {left.low * g, right.low * g};
    });
}

// A two-operator FM bell for the credits arpeggio and the ending.
void bell(Mix& mix, double at, float note, float velocity, float pan, float decay = 0.5f) {
    float hz = midiHz(note);
    Phase carrier, modulator;
    Decay index(7.0f, mix.rate, 2.2f), body(1.0f / decay, mix.rate);
    const float attackFrames = 0.002f * mix.rate;
    size_t frame = 0;
    mix.addMono(at, decay * 4.0f, pan, {0.3f, 0.45f}, [&](float) {
        float m = (0.3f + index.next()) * sinTurns(modulator.advance(2.0f * hz, mix.rate));
        float c = sinTurns(carrier.advance(hz, mix.rate) + m * 0.15915494f);
        float amp = std::min(1.0f, frame++ / attackFrames) * body.next();
        return velocity * 0.28f * c * amp;
    });
}

// Noise swept upwards through a resonant band-pass, growing louder: the build-up before the drop.
void riser(Mix& mix, double start, double end, float velocity) {
    Random noiseLeft(101u), noiseRight(103u);
    Svf left, right;
    float length = static_cast<float>(end - start);
    int frame = 0;
    mix.addStereo(start, end - start, {0.3f, 0.1f}, [&](float t) -> std::array<float, 2> {
        float progress = t / length;
        if ((frame++ & 7) == 0) {
            float cutoff = 250.0f * std::pow(32.0f, progress);
            left.set(cutoff, 2.5f, mix.rate);
            right.set(cutoff * 1.07f, 2.5f, mix.rate);
        }
        left.process(noiseLeft.bipolar());
        right.process(noiseRight.bipolar());
        float amp = velocity * 0.5f * progress * progress;
        return {left.band * amp, right.band * amp};
    });
}

// Electric crackle: sparse random sparks with millisecond decays, the discharges on the head.
void crackle(Mix& mix, double start, double length, float density, float velocity, uint32_t seed) {
    Random random(seed);
    float spark = 0, previous = 0, pan = 0;
    float chance = density / mix.rate;
    float sparkDecay = std::exp(-1.0f / (0.004f * mix.rate));
    mix.addStereo(start, length, {0.15f, 0.3f}, [&](float t) -> std::array<float, 2> {
        if (random.unit() < chance) {
            spark = 0.4f + 0.6f * random.unit();
            pan = random.bipolar();
        }
        spark *= sparkDecay;
        float fade = std::min(1.0f, std::min(t, static_cast<float>(length) - t) / 0.3f);
        float s = random.bipolar() * spark;
        float fizz = s - previous;  // a first difference keeps only the high crackle
        previous = s;
        float g = velocity * 0.35f * fade;
        return {fizz * g * (1.0f - 0.5f * pan), fizz * g * (1.0f + 0.5f * pan)};
    });
}

// ---- Effects ------------------------------------------------------------------------------------

// Ping-pong echo of the echo bus, three sixteenths long; its output also feeds the reverb.
void applyEcho(Mix& mix) {
    size_t delay = static_cast<size_t>(3.0 * kStep * mix.rate);
    std::vector<float> lineLeft(delay), lineRight(delay);
    float dampLeft = 0, dampRight = 0;
    constexpr float kFeedback = 0.45f, kDamping = 0.35f, kWet = 0.55f;
    size_t pos = 0;
    for (size_t i = 0; i < mix.frames; ++i) {
        float outLeft = lineLeft[pos], outRight = lineRight[pos];
        dampLeft += kDamping * (outLeft - dampLeft);
        dampRight += kDamping * (outRight - dampRight);
        lineLeft[pos] = mix.echo[i] + kFeedback * dampRight;
        lineRight[pos] = kFeedback * dampLeft;
        if (++pos == delay) pos = 0;
        mix.left[i] += kWet * outLeft;
        mix.right[i] += kWet * outRight;
        mix.reverb[i] += 0.2f * (outLeft + outRight);
    }
}

// An eight-line feedback delay network with a Householder mix and damped lines: a large dark hall.
void applyReverb(Mix& mix) {
    constexpr std::array<float, 8> lengthsMs = {29.7f, 37.1f, 41.1f, 43.7f, 53.3f, 59.9f, 67.3f, 73.1f};
    constexpr float kDecaySeconds = 2.8f, kDamping = 0.45f, kWet = 0.35f;
    std::array<std::vector<float>, 8> lines;
    std::array<size_t, 8> pos{};
    std::array<float, 8> gain{}, damp{};
    for (size_t k = 0; k < lines.size(); ++k) {
        size_t length = std::max<size_t>(1, static_cast<size_t>(lengthsMs[k] * 0.001f * mix.rate));
        lines[k].assign(length, 0.0f);
        gain[k] = std::pow(10.0f, -3.0f * length / (kDecaySeconds * mix.rate));
    }
    float highPassState = 0;
    const float highPass = 1.0f - std::exp(-2.0f * static_cast<float>(kPi) * 180.0f / mix.rate);
    for (size_t i = 0; i < mix.frames; ++i) {
        // Keep the low end out of the hall; reverberated bass turns the mix to mud.
        highPassState += highPass * (mix.reverb[i] - highPassState);
        float in = mix.reverb[i] - highPassState;
        std::array<float, 8> out;
        float sum = 0;
        for (size_t k = 0; k < 8; ++k) {
            float o = lines[k][pos[k]];
            damp[k] += kDamping * (o - damp[k]);
            out[k] = damp[k] * gain[k];
            sum += out[k];
        }
        float mixTerm = sum * 0.25f;
        for (size_t k = 0; k < 8; ++k) {
            lines[k][pos[k]] = out[k] - mixTerm + ((k & 1) ? -in : in);
            if (++pos[k] == lines[k].size()) pos[k] = 0;
        }
        mix.left[i] += kWet * (out[0] - out[2] + out[4] - out[6]);
        mix.right[i] += kWet * (out[1] - out[3] + out[5] - out[7]);
    }
}

// Master: gain, fades at both ends, a look-ahead peak limiter and a soft knee above 0.8 of full scale.
std::vector<int16_t> master(Mix& mix) {
    constexpr float kGain = 0.5f, kCeiling = 0.89f;
    const size_t lookAhead = static_cast<size_t>(0.004f * mix.rate);
    const float releasePerFrame = 1.0f / (0.15f * mix.rate);
    const size_t fadeOutStart = mix.frameAt(212.0), fadeOutEnd = mix.frameAt(219.5);
    const size_t fadeIn = mix.frameAt(0.02);
    // A 20 Hz high-pass: short low notes starting at phase zero leave a slow offset behind.
    const float dcPole = 1.0f - 2.0f * static_cast<float>(kPi) * 20.0f / mix.rate;
    float inLeft = 0, inRight = 0, outLeft = 0, outRight = 0;
    std::vector<float> gain(mix.frames);
    for (size_t i = 0; i < mix.frames; ++i) {
        outLeft = mix.left[i] - inLeft + dcPole * outLeft;
        outRight = mix.right[i] - inRight + dcPole * outRight;
        inLeft = mix.left[i];
        inRight = mix.right[i];
        mix.left[i] = outLeft;
        mix.right[i] = outRight;
        float fade = 1.0f;
        if (i < fadeIn) fade = static_cast<float>(i) / fadeIn;
        if (i >= fadeOutEnd) {
            fade = 0.0f;
        } else if (i > fadeOutStart) {
            float x = static_cast<float>(i - fadeOutStart) / (fadeOutEnd - fadeOutStart);
            fade = 0.5f + 0.5f * std::cos(static_cast<float>(kPi) * x);
        }
        mix.left[i] *= kGain * fade;
        mix.right[i] *= kGain * fade;
        float peak = std::max(std::abs(mix.left[i]), std::abs(mix.right[i]));
        gain[i] = peak > kCeiling ? kCeiling / peak : 1.0f;
    }
    // Backwards: the gain starts falling `lookAhead` frames before a peak, so no peak passes.
    const float attackPerFrame = 1.0f / static_cast<float>(std::max<size_t>(1, lookAhead));
    for (size_t i = mix.frames; i-- > 1;) gain[i - 1] = std::min(gain[i - 1], gain[i] + attackPerFrame);
    // Forwards: it recovers slowly, so the limiter does not pump at audio rate.
    for (size_t i = 1; i < mix.frames; ++i) gain[i] = std::min(gain[i], gain[i - 1] + releasePerFrame);

    std::vector<int16_t> pcm(mix.frames * 2);
    auto knee = [](float x) {
        float a = std::abs(x);
        if (a > 0.8f) a = 0.8f + 0.2f * softClip((a - 0.8f) / 0.2f);
        return std::copysign(a, x);
    };
    for (size_t i = 0; i < mix.frames; ++i) {
        pcm[2 * i] = static_cast<int16_t>(std::lround(knee(mix.left[i] * gain[i]) * 32767.0f));
        pcm[2 * i + 1] = static_cast<int16_t>(std::lround(knee(mix.right[i] * gain[i]) * 32767.0f));
    }
    return pcm;
}

// ---- The score ----------------------------------------------------------------------------------

struct Chord {
    float bass;
    std::array<float, 3> pad;
};

// Dark: Dm Bb Gm A. Light (credits): F C Dm Bb. Voiced close, for smooth pad movement.
constexpr std::array<Chord, 4> kDark = {{{38, {57, 62, 65}}, {34, {58, 62, 65}},
                                         {31, {58, 62, 67}}, {33, {57, 61, 64}}}};
constexpr std::array<Chord, 4> kLight = {{{41, {57, 60, 65}}, {36, {55, 60, 64}},
                                          {38, {57, 62, 65}}, {34, {58, 62, 65}}}};

// Pads for bars [from, to) with one chord per `barsPerChord` bars.
void padChords(Mix& mix, const std::array<Chord, 4>& chords, int from, int to, int barsPerChord,
               float velocity, float cutoffFrom, float cutoffTo, double stopAt = 1e9) {
    for (int bar = from; bar < to; bar += barsPerChord) {
        const Chord& chord = chords[((bar - from) / barsPerChord) % 4];
        int end = std::min(to, bar + barsPerChord);
        float progressFrom = static_cast<float>(bar - from) / (to - from);
        float progressTo = static_cast<float>(end - from) / (to - from);
        for (float note : chord.pad) {
            PadNote n;
            n.start = barTime(bar);
            n.length = std::min(barTime(end), stopAt) - n.start;
            n.note = note;
            n.velocity = velocity;
            n.cutoffFrom = cutoffFrom + (cutoffTo - cutoffFrom) * progressFrom;
            n.cutoffTo = cutoffFrom + (cutoffTo - cutoffFrom) * progressTo;
            n.attack = 0.6f;
            n.release = stopAt < 1e8 && barTime(end) >= stopAt ? 0.3f : 1.8f;
            pad(mix, n);
        }
    }
}

const Chord& chordAt(const std::array<Chord, 4>& chords, int from, int bar, int barsPerChord) {
    return chords[((bar - from) / barsPerChord) % 4];
}

void intro(Mix& mix) {
    for (float note : {38.0f, 45.0f}) {
        PadNote drone;
        drone.start = 0.0;
        drone.length = 12.5;
        drone.note = note;
        drone.velocity = 0.9f;
        drone.cutoffFrom = 180.0f;
        drone.cutoffTo = 700.0f;
        drone.attack = 4.0f;
        drone.release = 2.5f;
        pad(mix, drone);
    }
    PadNote high;
    high.start = 6.0;
    high.length = 6.5;
    high.note = 74;
    high.velocity = 0.25f;
    high.cutoffFrom = 1200.0f;
    high.cutoffTo = 2500.0f;
    high.attack = 3.0f;
    pad(mix, high);
    crackle(mix, 8.9, 2.2, 60.0f, 0.5f, 5u);
    for (double t : {3.0, 6.0, 9.0}) impact(mix, t, 1.0f);
}

void partA(Mix& mix) {  // bars 6 .. 16, 12.5 - 34.5 s
    constexpr int kFrom = 6, kTo = 17;
    padChords(mix, kDark, kFrom, kTo, 2, 0.55f, 500.0f, 1300.0f);
    for (int bar = kFrom; bar < kTo; ++bar) {
        const Chord& chord = chordAt(kDark, kFrom, bar, 2);
        if (bar == kTo - 1) {  // a bar of breath before the first eye pulse
            crackle(mix, stepTime(bar, 5), 0.9, 40.0f, 0.3f, 100u + bar);
            continue;
        }
        kick(mix, stepTime(bar, 0), 0.8f);
        kick(mix, stepTime(bar, bar >= 10 ? 10 : 8), 0.7f);
        for (int step : {0, 6, 8, 14}) {
            SawNote n;
            n.start = stepTime(bar, step);
            n.length = (step == 0 || step == 8 ? 5 : 1.5) * kStep;
            n.note = chord.bass + (step == 14 ? 12.0f : 0.0f);
            n.velocity = step == 14 ? 0.5f : 0.8f;
            n.cutoff = 180.0f;
            n.envelope = 700.0f;
            sawVoice(mix, n);
        }
        if (bar >= 10) {
            snare(mix, stepTime(bar, 8), 0.55f);
            for (int step = 2; step < 16; step += 4) hat(mix, stepTime(bar, step), 0.45f, false, 0.3f);
        }
        if (bar >= 12)
            for (int step = 1; step < 16; step += 2) hat(mix, stepTime(bar, step), 0.15f, false, -0.3f);
        if (bar % 2 == 1) crackle(mix, stepTime(bar, 5), 0.9, 40.0f, 0.3f, 100u + bar);
    }
}

void partB(Mix& mix) {  // bars 17 .. 30, 34.5 - 62.5 s: the eye pulses
    constexpr int kFrom = 17, kTo = 31;
    padChords(mix, kDark, kFrom, kTo, 2, 0.5f, 900.0f, 1600.0f);
    for (int bar = kFrom; bar < kTo; ++bar) {
        const Chord& chord = chordAt(kDark, kFrom, bar, 2);
        for (int step = 0; step < 16; step += 2) {
            SawNote n;
            n.start = stepTime(bar, step);
            n.length = 1.2 * kStep;
            n.note = chord.bass;
            n.velocity = 0.45f;
            n.cutoff = 160.0f;
            n.envelope = 500.0f;
            sawVoice(mix, n);
        }
        for (int step = 0; step < 16; ++step)
            hat(mix, stepTime(bar, step), step % 4 == 2 ? 0.3f : 0.12f, false, 0.25f);
        clank(mix, stepTime(bar, 6), 0.35f, -0.5f, 330.0f);
        if (bar % 2 == 0) clank(mix, stepTime(bar, 14), 0.25f, 0.5f, 247.0f);
    }
    for (size_t i = 3; i < kPulses.size(); ++i) impact(mix, kPulses[i], 1.0f);
}

void buildUp(Mix& mix) {  // bars 31 .. 40, 62.5 - 82.5 s
    constexpr int kFrom = 31, kTo = 41;
    const double silence = kDrop - kBeat;  // one beat of held breath before the drop
    padChords(mix, kDark, kFrom, kTo, 2, 0.5f, 800.0f, 3500.0f, silence);
    for (int bar = kFrom; bar < kTo; ++bar) {
        const Chord& chord = chordAt(kDark, kFrom, bar, 2);
        float rise = static_cast<float>(bar - kFrom) / (kTo - kFrom);
        int bassStep = bar >= 37 ? 1 : 2;
        for (int step = 0; step < 16; step += bassStep) {
            SawNote n;
            n.start = stepTime(bar, step);
            if (n.start >= silence) break;
            n.length = 0.8 * bassStep * kStep;
            n.note = chord.bass + (step % 8 == 6 ? 12.0f : 0.0f);
            n.velocity = 0.4f + 0.4f * rise;
            n.cutoff = 200.0f + 600.0f * rise;
            n.envelope = 900.0f + 1500.0f * rise;
            sawVoice(mix, n);
        }
        // Half-time kick first, four to the floor for the last six bars.
        for (int step = 0; step < 16; step += bar >= 35 ? 4 : 8)
            if (stepTime(bar, step) < silence) kick(mix, stepTime(bar, step), 0.85f);
        int hatStep = bar >= 35 ? 1 : 2;
        for (int step = hatStep == 1 ? 0 : 2; step < 16; step += hatStep)
            if (stepTime(bar, step) < silence)
                hat(mix, stepTime(bar, step), step % 4 == 2 ? 0.4f : 0.18f, false, 0.3f);
        // The snare roll doubles its rate every two bars from bar 35.
        if (bar >= 35) {
            double every = bar >= 40 ? 0.5 : bar >= 39 ? 1 : bar >= 37 ? 2 : 4;
            double first = bar >= 37 ? 0 : 4;
            for (double step = first; step < 16; step += every) {
                double at = stepTime(bar, step);
                if (at >= silence) break;
                float level = static_cast<float>((at - barTime(35)) / (silence - barTime(35)));
                snare(mix, at, 0.3f + 0.5f * level, 0.0f, 1.0f + 0.35f * level);
            }
        }
    }
    riser(mix, barTime(35), silence, 0.9f);
}

// Four-bar lead phrase over two chords, as (step, length in steps, note) triples.
struct LeadNote {
    int step, length;
    float note;
};
constexpr std::array<LeadNote, 8> kPhraseA = {{{0, 6, 69}, {6, 2, 65}, {8, 8, 62}, {16, 4, 64},
                                               {20, 4, 65}, {24, 6, 69}, {30, 2, 70}, {32, 0, 0}}};
constexpr std::array<LeadNote, 8> kPhraseB = {{{0, 6, 70}, {6, 2, 67}, {8, 8, 62}, {16, 4, 69},
                                               {20, 4, 67}, {24, 8, 61}, {32, 0, 0}, {32, 0, 0}}};

void lead(Mix& mix, int firstBar, int bars, float transpose, float velocity) {
    for (int phrase = 0; phrase * 4 < bars; ++phrase) {
        const auto& notes = phrase % 2 == 0 ? kPhraseA : kPhraseB;
        for (const LeadNote& ln : notes) {
            if (ln.length == 0) continue;
            SawNote n;
            n.start = stepTime(firstBar + phrase * 4, ln.step);
            n.length = ln.length * kStep * 0.9;
            n.note = ln.note + transpose;
            n.velocity = velocity;
            n.cutoff = 900.0f;
            n.envelope = 2500.0f;
            n.envelopeDecay = 0.25f;
            n.q = 1.0f;
            n.drive = 1.2f;
            n.sub = 0.0f;
            n.detune = 0.006f;
            n.release = 0.12f;
            n.send = {0.3f, 0.4f};
            sawVoice(mix, n);
        }
    }
}

void groove(Mix& mix, int from, int to, bool heavy) {
    const int barsPerChord = heavy ? 1 : 2;
    padChords(mix, kDark, from, to, barsPerChord, heavy ? 0.55f : 0.45f, heavy ? 1800.0f : 1200.0f,
              heavy ? 2600.0f : 1800.0f);
    // Main bass rhythm: x.xx..x.x.xx..x. with octave jumps; the heavy bass plays every sixteenth.
    constexpr std::array<int, 16> kPattern = {1, 0, 1, 2, 0, 0, 1, 0, 1, 0, 1, 2, 0, 0, 1, 0};
    for (int bar = from; bar < to; ++bar) {
        const Chord& chord = chordAt(kDark, from, bar, barsPerChord);
        for (int step = 0; step < 16; ++step) {
            int kind = heavy ? (step % 4 == 3 ? 2 : 1) : kPattern[step];
            if (kind == 0) continue;
            SawNote n;
            n.start = stepTime(bar, step);
            n.length = 0.7 * kStep;
            n.note = chord.bass + (kind == 2 ? 12.0f : 0.0f);
            n.velocity = heavy ? 0.7f : 0.8f;
            n.cutoff = heavy ? 350.0f : 280.0f;
            n.envelope = heavy ? 2600.0f : 1800.0f;
            n.drive = heavy ? 3.5f : 1.8f;
            sawVoice(mix, n);
        }
        for (int step = 0; step < 16; step += 4) kick(mix, stepTime(bar, step), 1.0f);
        if (heavy) {
            kick(mix, stepTime(bar, 10), 0.8f);
            if (bar % 2 == 1) kick(mix, stepTime(bar, 14), 0.7f);
        }
        snare(mix, stepTime(bar, 4), heavy ? 0.9f : 0.75f);
        snare(mix, stepTime(bar, 12), heavy ? 0.9f : 0.75f);
        if (heavy) {
            snare(mix, stepTime(bar, 15), 0.25f, 0.2f);
            clank(mix, stepTime(bar, 4), 0.3f, -0.4f, 196.0f);
            clank(mix, stepTime(bar, 12), 0.3f, 0.4f, 185.0f);
        }
        for (int step = 0; step < 16; ++step) {
            bool open = (heavy && step % 4 == 2) || (!heavy && step == 14 && bar % 2 == 1);
            float level = step % 4 == 2 ? 0.45f : (step % 2 == 0 ? 0.2f : 0.28f);
            hat(mix, stepTime(bar, step), heavy ? level * 1.1f : level, open, step % 2 ? -0.3f : 0.3f);
        }
        if (!heavy) clank(mix, stepTime(bar, bar % 2 ? 7 : 15), 0.25f, bar % 2 ? -0.6f : 0.6f, 330.0f);
        if ((bar - from) % 8 == 0) crash(mix, barTime(bar), 0.9f);
    }
}

void credits(Mix& mix) {  // bars 76 .. 90, 152.5 - 182.5 s
    constexpr int kFrom = kFirstCreditsBar, kTo = 91;
    padChords(mix, kLight, kFrom, kTo, 2, 0.4f, 1800.0f, 2800.0f);
    constexpr std::array<int, 8> kArp = {0, 1, 2, 3, 2, 1, 3, 1};
    for (int bar = kFrom; bar < kTo; ++bar) {
        const Chord& chord = chordAt(kLight, kFrom, bar, 2);
        std::array<float, 4> tones = {chord.pad[0] + 12, chord.pad[1] + 12, chord.pad[2] + 12,
                                      chord.pad[0] + 24};
        for (int i = 0; i < 8; ++i)
            bell(mix, stepTime(bar, 2 * i), tones[kArp[i]], i == 0 ? 0.4f : 0.28f,
                 i % 2 ? 0.4f : -0.4f, 0.35f);
        for (int step : {0, 8}) {
            SawNote n;
            n.start = stepTime(bar, step);
            n.length = 6 * kStep;
            n.note = chord.bass;
            n.velocity = 0.55f;
            n.cutoff = 300.0f;
            n.envelope = 500.0f;
            n.release = 0.08f;
            sawVoice(mix, n);
        }
        kick(mix, stepTime(bar, 0), 0.55f);
        kick(mix, stepTime(bar, 6), 0.4f);
        snare(mix, stepTime(bar, 8), 0.35f);
        for (int step = 2; step < 16; step += 4) hat(mix, stepTime(bar, step), 0.28f, false, 0.3f);
    }
    crash(mix, barTime(kFrom), 0.6f);
}

void outro(Mix& mix) {  // bars 91 .. 98 drift, then the calm ending
    constexpr int kFrom = 91, kTo = 99;
    padChords(mix, kDark, kFrom, kTo, 2, 0.45f, 1500.0f, 900.0f);
    for (int bar = kFrom; bar < kTo; ++bar) {
        const Chord& chord = chordAt(kDark, kFrom, bar, 2);
        float fade = 1.0f - static_cast<float>(bar - kFrom) / (kTo - kFrom);
        kick(mix, stepTime(bar, 0), 0.7f * fade + 0.1f);
        if (bar < 96) kick(mix, stepTime(bar, 10), 0.45f * fade);
        for (int step = 2; step < 16; step += 4) hat(mix, stepTime(bar, step), 0.3f * fade, false, 0.3f);
        SawNote n;
        n.start = barTime(bar);
        n.length = 14 * kStep;
        n.note = chord.bass;
        n.velocity = 0.5f;
        n.cutoff = 200.0f;
        n.envelope = 300.0f;
        n.release = 0.2f;
        sawVoice(mix, n);
        bell(mix, stepTime(bar, 0), chord.pad[2] + 12, 0.25f * fade + 0.05f, -0.3f, 0.6f);
        bell(mix, stepTime(bar, 6), chord.pad[1] + 12, 0.2f * fade + 0.05f, 0.3f, 0.6f);
    }
    // The calm ending: Dm(add9), Bbmaj7, Dm, slowly closing, with a few distant bells.
    const double end = barTime(kTo);
    const std::array<std::pair<double, std::array<float, 4>>, 3> chords = {
        {{end, {50, 57, 64, 65}}, {end + 8.0, {46, 57, 62, 65}}, {end + 14.0, {50, 57, 62, 69}}}};
    for (size_t c = 0; c < chords.size(); ++c) {
        double start = chords[c].first;
        double stop = c + 1 < chords.size() ? chords[c + 1].first : 219.0;
        for (float note : chords[c].second) {
            PadNote n;
            n.start = start;
            n.length = stop - start;
            n.note = note;
            n.velocity = 0.42f;
            n.cutoffFrom = c == 0 ? 1300.0f : 900.0f;
            n.cutoffTo = c == 2 ? 350.0f : 900.0f;
            n.attack = c == 0 ? 1.0f : 2.0f;
            n.release = 3.0f;
            n.send = {0.6f, 0.1f};
            pad(mix, n);
        }
    }
    bell(mix, end + 1.0, 74, 0.2f, -0.5f, 1.2f);
    bell(mix, end + 5.0, 69, 0.16f, 0.5f, 1.2f);
    bell(mix, end + 9.0, 70, 0.14f, -0.3f, 1.2f);
    bell(mix, end + 15.0, 74, 0.12f, 0.3f, 1.5f);
}

}  // namespace

std::vector<int16_t> synthesizeDemoTune(int sampleRate) {
    if (sampleRate < 8000 || sampleRate > 192000)
        throw std::invalid_argument("synthesizeDemoTune: sample rate " + std::to_string(sampleRate) +
                                    " is outside 8000 to 192000 Hz");
    Mix mix(sampleRate, static_cast<size_t>(std::lround(kDemoTuneSeconds * sampleRate)));
    intro(mix);
    partA(mix);
    partB(mix);
    buildUp(mix);
    impact(mix, kDrop, 1.0f);
    crash(mix, kDrop, 1.0f);
    groove(mix, 41, kFirstHeavyBar, false);
    lead(mix, 49, 11, 0.0f, 0.45f);
    groove(mix, kFirstHeavyBar, kFirstCreditsBar, true);
    lead(mix, kFirstHeavyBar + 8, 8, 12.0f, 0.3f);
    for (double t : heavyImpactTimes()) impact(mix, t, 0.9f);
    credits(mix);
    outro(mix);
    applyEcho(mix);
    applyReverb(mix);
    return master(mix);
}

std::vector<unsigned char> encodeMp3(const std::vector<int16_t>& interleavedStereo, int sampleRate,
                                     int kbps) {
    if (interleavedStereo.size() % 2 != 0)
        throw std::invalid_argument("encodeMp3: " + std::to_string(interleavedStereo.size()) +
                                    " samples is not a whole number of stereo frames");
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) throw std::runtime_error("encodeMp3: lame_init failed (out of memory?)");
    lame_set_in_samplerate(lame.get(), sampleRate);
    lame_set_out_samplerate(lame.get(), sampleRate);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
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
    std::vector<short> chunk(kChunkFrames * 2);
    std::vector<unsigned char> buffer(kChunkFrames * 5 / 4 + 7200);
    std::vector<unsigned char> mp3;
    const size_t frames = interleavedStereo.size() / 2;
    for (size_t first = 0; first < frames; first += kChunkFrames) {
        size_t count = std::min(kChunkFrames, frames - first);
        std::copy_n(interleavedStereo.begin() + static_cast<std::ptrdiff_t>(2 * first), 2 * count,
                    chunk.begin());
        int written = lame_encode_buffer_interleaved(lame.get(), chunk.data(), static_cast<int>(count),
                                                     buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0)
            throw std::runtime_error("encodeMp3: lame_encode_buffer_interleaved failed with " +
                                     std::to_string(written));
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

std::vector<float> beatTimes() {
    std::vector<float> beats;
    for (int i = 0;; ++i) {
        double t = kDemoTuneFirstDownbeatSeconds + i * kBeat;
        if (t >= kDemoTuneSeconds) break;
        beats.push_back(static_cast<float>(t));
    }
    return beats;
}

std::vector<float> accentTimes() {
    std::vector<float> accents(kPulses.begin(), kPulses.end());
    accents.push_back(static_cast<float>(kDrop));
    for (double t : heavyImpactTimes()) accents.push_back(static_cast<float>(t));
    std::sort(accents.begin(), accents.end());
    return accents;
}

}  // namespace content
