// The interface sound effects: short additive-synthesis tones, one WAV file each.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/assets.h"
#include "tools/assets/exact_math.h"

namespace NAssets {
namespace {

constexpr uint32_t kRate = 44100;
// Every effect is scaled so its loudest sample is half of full scale (-6 dBFS).
constexpr double kPeak = 16384;
// A raised-cosine fade over the first and last samples of every effect: whatever the
// notes do, the file starts and ends at zero and the device never clicks.
constexpr double kFadeIn = 0.001;
constexpr double kFadeOut = 0.008;
// Each note ends with its own short fade, so a note cut by the next never clicks either.
constexpr double kRelease = 0.005;

struct Partial {
    double harmonic;  // multiple of the note's pitch
    double amplitude;
};

struct Note {
    double start, length;  // seconds
    double from, to;       // Hz: the pitch glides from `from` towards `to`
    double glide;          // seconds, the glide's time constant; 0 keeps `from`
    double attack;         // seconds of raised-cosine rise
    double decay;          // seconds, time constant of the exponential fall after it
    double gain;
    std::vector<Partial> partials;
};

struct Effect {
    const char* name;  // the sound-effect id's name; the file is its lower case
    double length;     // seconds
    std::vector<Note> notes;
};

// Soft bell: the pitch with a faint octave and twelfth.
const std::vector<Partial> kBell = {{1, 1.0}, {2, 0.22}, {3, 0.06}};
// Close to a triangle wave: odd harmonics falling with the square of their number.
const std::vector<Partial> kTriangle = {{1, 1.0}, {3, 0.11}, {5, 0.04}};
// A muted buzz: odd harmonics falling with their number, a soft square wave.
const std::vector<Partial> kBuzz = {{1, 1.0}, {3, 0.3}, {5, 0.16}, {7, 0.08}};
// A plain tone with a touch of octave, for short ticks.
const std::vector<Partial> kPip = {{1, 1.0}, {2, 0.12}};

// Pitches of the notes used (equal temperament, A4 = 440 Hz).
constexpr double kG3 = 196.00, kGs3 = 207.65;
constexpr double kA5 = 880.00;
constexpr double kC6 = 1046.50, kE6 = 1318.51, kG6 = 1567.98, kA6 = 1760.00, kC7 = 2093.00;

std::vector<Effect> Effects() {
    return {
        // Confirm, heard on every click: a quick rising fifth, bright and soft.
        {"OK",
         0.200,
         {{0.000, 0.200, kC6, kC6, 0, 0.003, 0.050, 1.0, kBell},
          {0.060, 0.140, kG6, kG6, 0, 0.003, 0.060, 0.9, kBell}}},
        // Move between choices: one short pip that lifts slightly.
        {"SELECT", 0.080, {{0.000, 0.080, kE6, kA6, 0.030, 0.002, 0.022, 1.0, kPip}}},
        // Back out: a tone that falls an octave.
        {"CANCEL", 0.160, {{0.000, 0.160, kA5, kA5 / 2, 0.045, 0.003, 0.060, 1.0, kTriangle}}},
        // Refused: two low buzzes, each two close pitches that beat against each other.
        {"BAD",
         0.260,
         {{0.000, 0.110, kG3, kG3, 0, 0.004, 0.070, 0.6, kBuzz},
          {0.000, 0.110, kGs3, kGs3, 0, 0.004, 0.070, 0.6, kBuzz},
          {0.135, 0.125, kG3, kG3, 0, 0.004, 0.070, 0.6, kBuzz},
          {0.135, 0.125, kGs3, kGs3, 0, 0.004, 0.070, 0.6, kBuzz}}},
        // Achievement: a rising arpeggio up to the octave that rings on.
        {"TRAINING",
         0.300,
         {{0.000, 0.300, kC6, kC6, 0, 0.002, 0.050, 0.8, kBell},
          {0.050, 0.250, kE6, kE6, 0, 0.002, 0.050, 0.8, kBell},
          {0.100, 0.200, kG6, kG6, 0, 0.002, 0.060, 0.8, kBell},
          {0.150, 0.150, kC7, kC7, 0, 0.002, 0.080, 0.9, kBell}}},
    };
}

size_t Samples(double seconds) { return static_cast<size_t>(seconds * kRate + 0.5); }

// 0 at x = 0 rising smoothly to 1 at x = 1.
double RaisedCosine(double x) { return 0.5 - 0.5 * Cosine(kPi * std::clamp(x, 0.0, 1.0)); }

void AddNote(const Note& note, std::vector<double>& out) {
    const size_t first = Samples(note.start);
    const size_t count = std::min(Samples(note.length), out.size() - std::min(first, out.size()));
    double phase = 0;  // of the pitch, in radians, kept within one turn
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double left = static_cast<double>(count - 1 - i) / kRate;
        double envelope =
            t < note.attack ? RaisedCosine(t / note.attack) : Exp(-(t - note.attack) / note.decay);
        if (left < kRelease) envelope *= RaisedCosine(left / kRelease);
        double value = 0;
        for (const Partial& p : note.partials) value += p.amplitude * Sine(p.harmonic * phase);
        out[first + i] += note.gain * envelope * value;
        const double pitch =
            note.glide > 0 ? note.to + (note.from - note.to) * Exp(-t / note.glide) : note.from;
        phase += 2 * kPi * pitch / kRate;
        if (phase >= 2 * kPi) phase -= 2 * kPi;
    }
}

std::vector<int16_t> Render(const Effect& effect) {
    std::vector<double> mix(Samples(effect.length), 0.0);
    for (const Note& note : effect.notes) AddNote(note, mix);
    const size_t n = mix.size();
    const size_t fadeIn = Samples(kFadeIn), fadeOut = Samples(kFadeOut);
    for (size_t i = 0; i < n; ++i) {
        if (i < fadeIn) mix[i] *= RaisedCosine(static_cast<double>(i) / fadeIn);
        if (n - 1 - i < fadeOut) mix[i] *= RaisedCosine(static_cast<double>(n - 1 - i) / fadeOut);
    }
    double peak = 0;
    for (double v : mix) peak = std::max(peak, v < 0 ? -v : v);
    std::vector<int16_t> samples(n);
    for (size_t i = 0; i < n; ++i) {
        const double v = peak > 0 ? mix[i] * kPeak / peak : 0;
        samples[i] = static_cast<int16_t>(std::clamp(v < 0 ? v - 0.5 : v + 0.5, -kPeak, kPeak));
    }
    return samples;
}

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

// The canonical 44-byte header (RIFF, a 16-byte PCM "fmt ", "data") and the samples.
std::vector<uint8_t> WaveBytes(const std::vector<int16_t>& samples) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    Put(out, 36 + dataBytes, 4);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put(out, 16, 4);
    Put(out, 1, 2);  // PCM
    Put(out, 1, 2);  // mono
    Put(out, kRate, 4);
    Put(out, kRate * 2, 4);  // bytes per second
    Put(out, 2, 2);          // block align
    Put(out, 16, 2);         // bits per sample
    PutTag(out, "data");
    Put(out, dataBytes, 4);
    for (int16_t s : samples) Put(out, static_cast<uint16_t>(s), 2);
    return out;
}

}  // namespace

std::vector<CFile> MakeSoundEffects() {
    std::vector<CFile> files;
    for (const Effect& effect : Effects()) {
        std::string name = std::string("pd/se/") + effect.name + ".wav";
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
        files.push_back({name, WaveBytes(Render(effect))});
    }
    return files;
}

}  // namespace NAssets
