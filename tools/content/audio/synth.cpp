// The synthesiser: oscillators, filters and envelopes, the instruments made of them, and the
// effects and the limiter of the master bus.
#include "content/audio/synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "content/common/seeded_random.h"

namespace content::synth {

namespace {

constexpr double kPi = 3.14159265358979323846;
float midiHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

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

// Struck metal: the inharmonic partials of a free bar, for the machine-hall percussion.
constexpr std::array<float, 5> kBarRatios = {1.0f, 2.76f, 5.40f, 8.93f, 13.34f};

}  // namespace

// ---- The mix buses ------------------------------------------------------------------------------

template <class Voice>
void Mix::addStereo(double start, double length, Send send, Voice&& voice) {
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
void Mix::addMono(double start, double length, float pan, Send send, Voice&& voice) {
    float angle = (pan + 1.0f) * static_cast<float>(kPi) / 4.0f;
    float gainLeft = std::cos(angle) * 1.4142135f, gainRight = std::sin(angle) * 1.4142135f;
    addStereo(start, length, send, [&](float t) -> std::array<float, 2> {
        float s = voice(t);
        return {s * gainLeft, s * gainRight};
    });
}

// ---- Instruments --------------------------------------------------------------------------------

void kick(Mix& mix, double at, float velocity) {
    SeededRandom noise(seedAt(at, 1));
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

void snare(Mix& mix, double at, float velocity, float pan, float pitch) {
    SeededRandom noise(seedAt(at, 7));
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

void hat(Mix& mix, double at, float velocity, bool open, float pan) {
    SeededRandom noise(seedAt(at, 13));
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
    SeededRandom noiseLeft(seedAt(at, 17)), noiseRight(seedAt(at, 19));
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

void clank(Mix& mix, double at, float velocity, float pan, float baseHz) {
    constexpr std::array<float, 5> decays = {0.45f, 0.3f, 0.2f, 0.12f, 0.08f};
    constexpr std::array<float, 5> levels = {1.0f, 0.7f, 0.45f, 0.3f, 0.2f};
    SeededRandom noise(seedAt(at, 23));
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

void impact(Mix& mix, double at, float velocity) {
    constexpr std::array<float, 4> decays = {0.9f, 0.55f, 0.3f, 0.18f};
    SeededRandom noiseLeft(seedAt(at, 29)), noiseRight(seedAt(at, 31));
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

void pad(Mix& mix, const PadNote& n) {
    float hz = midiHz(n.note);
    SeededRandom random(static_cast<uint32_t>(n.start * 100.0 + n.note * 7.0));
    std::array<Saw, 3> saws;
    constexpr std::array<float, 3> detune = {-0.006f, 0.0f, 0.0065f};
    for (size_t i = 0; i < saws.size(); ++i) {
        saws[i].dt = hz * (1.0f + detune[i]) / mix.rate;
        saws[i].phase = random.uniform();
    }
    float sway = random.uniform();
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

void bell(Mix& mix, double at, float note, float velocity, float pan, float decay) {
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

void riser(Mix& mix, double start, double end, float velocity) {
    SeededRandom noiseLeft(101u), noiseRight(103u);
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

void crackle(Mix& mix, double start, double length, float density, float velocity, uint32_t seed) {
    SeededRandom random(seed);
    float spark = 0, previous = 0, pan = 0;
    float chance = density / mix.rate;
    float sparkDecay = std::exp(-1.0f / (0.004f * mix.rate));
    mix.addStereo(start, length, {0.15f, 0.3f}, [&](float t) -> std::array<float, 2> {
        if (random.uniform() < chance) {
            spark = 0.4f + 0.6f * random.uniform();
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

void applyEcho(Mix& mix, double delaySeconds) {
    size_t delay = static_cast<size_t>(delaySeconds * mix.rate);
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

std::vector<int16_t> master(Mix& mix, double fadeOutFrom, double fadeOutTo) {
    constexpr float kGain = 0.5f, kCeiling = 0.89f;
    const size_t lookAhead = static_cast<size_t>(0.004f * mix.rate);
    const float releasePerFrame = 1.0f / (0.15f * mix.rate);
    const size_t fadeOutStart = mix.frameAt(fadeOutFrom), fadeOutEnd = mix.frameAt(fadeOutTo);
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

}  // namespace content::synth
