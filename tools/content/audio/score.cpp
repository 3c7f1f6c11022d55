// The score: the tune's arrangement over time (chords, bars, sections, the hits on the film's
// pulses), played on the synthesiser's instruments.
#include "content/audio/music.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "content/audio/synth.h"

namespace content {
namespace {

using namespace synth;

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

std::vector<double> heavyImpactTimes() {
    std::vector<double> times;
    for (int bar = kFirstHeavyBar; bar < kFirstCreditsBar - 1; bar += 2) times.push_back(barTime(bar));
    return times;
}

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
    applyEcho(mix, 3.0 * kStep);  // three sixteenths
    applyReverb(mix);
    return master(mix, 212.0, 219.5);
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

std::vector<float> heavyHitTimes() {
    std::vector<float> hits;
    for (float a : accentTimes())
        if (a >= static_cast<float>(kDrop)) hits.push_back(a);
    return hits;
}

}  // namespace content
