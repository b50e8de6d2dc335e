#include "audio_synth.h"

#include <algorithm>
#include <cmath>

namespace forge::audio {

namespace {

constexpr float kTwoPi = 6.28318530718f;
constexpr double kBeat = 0.45;  // about 133 beats a minute; each section fits a whole number

float midi_hz(float m) {
  return 440.0f * std::pow(2.0f, (m - 69.0f) / 12.0f);
}

struct Noise {
  uint32_t s;
  float next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return static_cast<float>(static_cast<int32_t>(s)) * (1.0f / 2147483648.0f);
  }
};

// Band-limited step correction for the saw and pulse oscillators (polyBLEP).
float blep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

struct Osc {
  float ph = 0;
  float saw(float hz) {
    float dt = hz / kRate;
    float v = 2 * ph - 1 - blep(ph, dt);
    ph += dt;
    if (ph >= 1) ph -= 1;
    return v;
  }
  float pulse(float hz, float duty) {
    float dt = hz / kRate;
    float v = (ph < duty ? 1.0f : -1.0f) + blep(ph, dt);
    float p2 = ph + 1 - duty;
    if (p2 >= 1) p2 -= 1;
    v -= blep(p2, dt);
    ph += dt;
    if (ph >= 1) ph -= 1;
    return v;
  }
  float sine(float hz) {
    float v = std::sin(kTwoPi * ph);
    ph += hz / kRate;
    if (ph >= 1) ph -= 1;
    return v;
  }
};

// Chamberlin state-variable low-pass.
struct LowPass {
  float low = 0, band = 0;
  float run(float in, float hz, float q = 1.0f) {
    float f = 2 * std::sin(3.14159265f * std::min(hz, 7000.0f) / kRate);
    low += f * band;
    float high = in - low - q * band;
    band += f * high;
    return low;
  }
};

class Mixer {
 public:
  explicit Mixer(size_t n) : l_(n, 0), r_(n, 0), sl_(n, 0), sr_(n, 0) {}
  size_t size() const { return l_.size(); }
  // Adds v at sample i, panned (-1 left .. 1 right), with a share sent to the echo.
  void add(size_t i, float v, float pan, float send = 0) {
    if (i >= l_.size()) return;
    float gl = std::sqrt(0.5f * (1 - pan)), gr = std::sqrt(0.5f * (1 + pan));
    l_[i] += v * gl;
    r_[i] += v * gr;
    if (send > 0) {
      sl_[i] += v * gl * send;
      sr_[i] += v * gr * send;
    }
  }
  void add2(size_t i, float vl, float vr) {
    if (i >= l_.size()) return;
    l_[i] += vl;
    r_[i] += vr;
  }
  // A ping-pong echo of the sends, then a gentle limiter and the fade at the end.
  std::vector<int16_t> finish(size_t delay, float feedback, int skip, size_t fade_from) {
    delay = std::max<size_t>(delay, 1);
    std::vector<float> dl(delay, 0), dr(delay, 0);  // ring buffers: the last `delay` echoes
    for (size_t i = 0; i < l_.size(); ++i) {
      const size_t k = i % delay;
      float el = sr_[i] + feedback * dr[k], er = sl_[i] + feedback * dl[k];
      dl[k] = el;
      dr[k] = er;
      l_[i] += 0.5f * el;
      r_[i] += 0.5f * er;
    }
    std::vector<int16_t> out;
    const size_t n =
        l_.size() - std::min<size_t>(l_.size(), static_cast<size_t>(std::max(skip, 0)));
    out.reserve(n * 2);
    for (size_t i = l_.size() - n; i < l_.size(); ++i) {
      float g =
          i < fade_from
              ? 1.0f
              : std::max(0.0f, 1.0f - static_cast<float>(i - fade_from) / (l_.size() - fade_from));
      for (float v : {l_[i] * g, r_[i] * g}) {
        float a = std::fabs(v);
        if (a > 0.75f) v = std::copysign(0.75f + 0.25f * std::tanh((a - 0.75f) / 0.25f), v);
        out.push_back(static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 29000.0f)));
      }
    }
    return out;
  }

 private:
  std::vector<float> l_, r_, sl_, sr_;
};

size_t at(double t) {
  return static_cast<size_t>(std::max(0.0, t) * kRate + 0.5);
}

// Fixed-length sounds fade over their last 10 ms, so cutting them off never clicks.
float taper(size_t i, size_t n) {
  return std::min(1.0f, static_cast<float>(n - i) / (0.01f * kRate));
}

// ---- instruments ----

void kick(Mixer& m, double t0, float amp) {
  Osc o;
  Noise nz{0x1234567u};
  size_t s0 = at(t0), n = at(0.5);
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate;
    float hz = 45 + 120 * std::exp(-t * 28);
    float v = o.sine(hz) * std::exp(-t * 6.5f) + 0.35f * nz.next() * std::exp(-t * 250);
    m.add(s0 + i, v * amp * taper(i, n), 0);
  }
}

void snare(Mixer& m, double t0, float amp, uint32_t seed) {
  Osc o;
  Noise nz{seed | 1};
  float prev = 0;
  size_t s0 = at(t0), n = at(0.3);
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate;
    float w = nz.next(), hp = w - prev;
    prev = w;
    float v = 0.45f * o.sine(190 - 30 * t) * std::exp(-t * 25) + 0.6f * hp * std::exp(-t * 15);
    m.add(s0 + i, v * amp * taper(i, n), 0.1f, 0.15f);
  }
}

void hat(Mixer& m, double t0, float amp, bool open, uint32_t seed) {
  Noise nz{seed | 1};
  float prev = 0, prev2 = 0;
  size_t s0 = at(t0), n = at(open ? 0.35 : 0.07);
  float decay = open ? 11.0f : 70.0f;
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate;
    float w = nz.next(), hp = w - 2 * prev + prev2;  // second difference: bright
    prev2 = prev;
    prev = w;
    m.add(s0 + i, 0.5f * hp * std::exp(-t * decay) * amp * taper(i, n), 0.35f);
  }
}

void crash(Mixer& m, double t0, float amp, uint32_t seed) {
  Noise nl{seed | 1}, nr{(seed * 7919u) | 1};
  Osc bells[6];
  const float f[6] = {523.1f, 771.7f, 1042.3f, 1399.9f, 1873.4f, 2432.8f};
  float pl = 0, pr = 0;
  size_t s0 = at(t0), n = at(2.6);
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate;
    float ring = 0;
    for (int k = 0; k < 6; ++k) ring += bells[k].pulse(f[k], 0.5f);
    float e = std::exp(-t * 2.0f) * taper(i, n);
    float wl = nl.next(), wr = nr.next();
    float vl = (wl - pl) * 0.8f + ring * 0.04f, vr = (wr - pr) * 0.8f + ring * 0.04f;
    pl = wl;
    pr = wr;
    m.add2(s0 + i, vl * e * amp, vr * e * amp);
  }
}

void bass(Mixer& m, double t0, double dur, float note, float amp) {
  Osc a, b;
  LowPass lp;
  float hz = midi_hz(note);
  size_t s0 = at(t0), n = at(dur + 0.03);
  float rel = static_cast<float>(dur);
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate;
    float env =
        std::min(1.0f, t / 0.004f) * (t < rel ? 1.0f : std::max(0.0f, 1 - (t - rel) / 0.03f));
    float v = 0.6f * a.saw(hz) + 0.5f * b.pulse(hz * 0.5f, 0.5f);
    v = lp.run(v, 180 + 1400 * std::exp(-t * 14), 0.6f);
    m.add(s0 + i, v * env * amp, 0);
  }
}

void pad(Mixer& m, double t0, double dur, float note, float amp, float pan) {
  Osc a, b, c;
  LowPass lp;
  a.ph = 0.13f;
  b.ph = 0.57f;
  float hz = midi_hz(note);
  size_t s0 = at(t0), n = at(dur + 0.5);
  float rel = static_cast<float>(dur);
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate;
    float env = std::min(1.0f, t / 0.35f) * (t < rel ? 1.0f : std::max(0.0f, 1 - (t - rel) / 0.5f));
    float v = a.saw(hz * 1.004f) + b.saw(hz * 0.996f) + 0.5f * c.sine(hz * 0.5f);
    v = lp.run(v, 900 + 500 * std::sin(t * 1.3f), 0.9f);
    m.add(s0 + i, v * env * amp, pan, 0.25f);
  }
}

void pluck(Mixer& m, double t0, float note, float amp, float pan) {
  Osc a;
  LowPass lp;
  float hz = midi_hz(note);
  size_t s0 = at(t0), n = at(0.4);
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate;
    float v = lp.run(a.pulse(hz, 0.3f), 600 + 4000 * std::exp(-t * 20), 0.7f);
    m.add(s0 + i, v * std::exp(-t * 12) * std::min(1.0f, t / 0.002f) * taper(i, n) * amp, pan,
          0.4f);
  }
}

void lead(Mixer& m, double t0, double dur, float note, float amp) {
  Osc a, b, vib;
  LowPass lp;
  float hz = midi_hz(note);
  size_t s0 = at(t0), n = at(dur + 0.08);
  float rel = static_cast<float>(dur);
  for (size_t i = 0; i < n; ++i) {
    float t = static_cast<float>(i) / kRate;
    float env = std::min(1.0f, t / 0.01f) * (0.75f + 0.25f * std::exp(-t * 6)) *
                (t < rel ? 1.0f : std::max(0.0f, 1 - (t - rel) / 0.08f));
    float f = hz * (1 + 0.006f * std::min(1.0f, t * 3) * vib.sine(5.5f));
    float v = 0.6f * a.pulse(f, 0.25f) + 0.4f * b.saw(f * 1.003f);
    v = lp.run(v, 2600 + 1500 * std::exp(-t * 8), 0.8f);
    m.add(s0 + i, v * env * amp, -0.15f, 0.45f);
  }
}

void stab(Mixer& m, double t0, const float* notes, int count, float amp) {
  for (int k = 0; k < count; ++k) {
    Osc a, b;
    LowPass lp;
    float hz = midi_hz(notes[k]);
    size_t s0 = at(t0), n = at(0.9);
    float pan = -0.4f + 0.4f * k;
    for (size_t i = 0; i < n; ++i) {
      float t = static_cast<float>(i) / kRate;
      float v = a.saw(hz * 1.005f) + b.saw(hz * 0.995f);
      v = lp.run(v, 800 + 6000 * std::exp(-t * 10), 0.7f);
      m.add(s0 + i, v * std::exp(-t * 4.5f) * taper(i, n) * amp, pan, 0.3f);
    }
  }
}

// A rising noise sweep into the next section.
void riser(Mixer& m, double t0, double t1, float amp, uint32_t seed) {
  Noise nz{seed | 1};
  LowPass lp;
  size_t s0 = at(t0), n = at(t1 - t0);
  for (size_t i = 0; i < n; ++i) {
    float u = static_cast<float>(i) / n;
    float v = lp.run(nz.next(), 300 + 6000 * u * u, 1.2f);
    m.add(s0 + i, v * u * u * amp, 0.3f * std::sin(u * 20), 0.3f);
  }
}

// ---- the arrangement ----

enum : uint32_t {
  KICK = 1,
  SNARE = 2,
  HATS = 4,
  BASS = 8,
  PAD = 16,
  ARP = 32,
  LEAD = 64,
  STABS = 128,
  BUILD = 256,
  SPARSE = 512,
  BREAK = 1024  // a broken beat: kicks on 1, the and of 2, and 3; no steady pulse
};

struct Section {
  double start, end;
  uint32_t parts;
  int progression;
};

// Chords: root (MIDI) and whether minor. Four progressions in A minor.
struct Chord {
  int root;
  bool minor;
};
const Chord kProgressions[4][4] = {
    {{57, true}, {53, false}, {48, false}, {55, false}},  // Am F C G
    {{50, true}, {57, true}, {52, false}, {57, true}},    // Dm Am E Am
    {{53, false}, {55, false}, {52, true}, {57, true}},   // F G Em Am
    {{57, true}, {55, false}, {53, false}, {52, false}},  // Am G F E
};

const std::vector<Section>& sections() {
  static const std::vector<Section> s = {
      {0.0, 14.0, PAD | ARP, 0},
      {14.0, 22.3, PAD | ARP | KICK | BASS, 0},
      {22.3, 29.3, PAD | ARP | HATS | BUILD, 3},  // the build holds back kick and bass for the drop
      {29.3, 58.0, KICK | SNARE | HATS | BASS | PAD | LEAD, 0},
      {58.0, 72.6, PAD | ARP | LEAD | SPARSE, 2},
      {72.6, 87.0, KICK | HATS | BASS | ARP, 1},
      {87.0, 99.0, KICK | SNARE | STABS | BREAK, 3},
      {99.0, 116.0, KICK | SNARE | HATS | BASS | PAD | LEAD, 0},
      {116.0, 132.0, KICK | HATS | BASS | ARP | PAD, 1},
      {132.0, 144.6, KICK | SNARE | HATS | BASS | STABS | BUILD, 3},
      {144.6, 166.5, KICK | SNARE | HATS | BASS | PAD | LEAD | ARP, 2},
      {166.5, 173.6, PAD | ARP, 0},
      {173.6, 180.6, KICK | HATS | BASS | PAD | BUILD, 3},
      {180.6, 195.0, HATS | PAD | SPARSE, 0},
      {195.0, 224.0, KICK | SNARE | HATS | BASS | PAD | LEAD | STABS, 0},
      {224.0, 238.0, KICK | HATS | BASS | ARP, 1},
      {238.0, 252.0, KICK | BASS | PAD | SPARSE, 2},
      {252.0, kLength, PAD | LEAD | ARP | SPARSE, 0},
  };
  return s;
}

void chord_notes(const Chord& c, int octave_shift, float* out) {
  out[0] = static_cast<float>(c.root + octave_shift);
  out[1] = static_cast<float>(c.root + octave_shift + (c.minor ? 3 : 4));
  out[2] = static_cast<float>(c.root + octave_shift + 7);
}

}  // namespace

const std::vector<double>& section_starts() {
  static const std::vector<double> s = {29.3,  58,    72.6,  87,  99,  116, 132, 144.6,
                                        166.5, 173.6, 180.6, 195, 224, 238, 252};
  return s;
}

const std::vector<double>& hit_times() {
  static const std::vector<double> h = {29.3,  90,    144.6, 180.6, 181.5, 182.7, 183.6,
                                        184.5, 185.5, 186.4, 187.3, 188.2, 189.1, 190.0,
                                        190.9, 191.7, 192.6, 195,   202,   217};
  return h;
}

std::vector<int16_t> render(uint32_t seed, int skip) {
  Mixer m(at(kLength));
  auto near_hit = [](double t) {
    for (double h : hit_times())
      if (std::fabs(t - h) < 0.12) return true;
    return false;
  };
  uint32_t drum_seed = seed * 2654435761u + 17;
  for (size_t si = 0; si < sections().size(); ++si) {
    const Section& sec = sections()[si];
    const double len = sec.end - sec.start;
    const int beats = std::max(1, static_cast<int>(std::lround(len / kBeat)));
    const double beat = len / beats;
    const auto& prog = kProgressions[sec.progression];
    // The lead's motif: two bars of eighths, chosen once per section.
    float motif[16];
    for (int k = 0; k < 16; ++k) {
      uint32_t h = (seed ^ static_cast<uint32_t>(si * 7919 + k * 104729)) * 2246822519u;
      h ^= h >> 15;
      const int scale[5] = {0, 3, 5, 7, 10};  // minor pentatonic over A
      motif[k] =
          (h % 10 < 3 && k % 4 != 0)
              ? -1.0f
              : static_cast<float>(69 + scale[(h >> 4) % 5] + 12 * static_cast<int>((h >> 8) % 2));
    }
    for (int b = 0; b < beats; ++b) {
      const double t = sec.start + b * beat;
      const Chord& ch = prog[(b / 4) % 4];
      float tri[3];
      chord_notes(ch, 0, tri);
      const bool last_bar = b >= beats - 4;
      if (sec.parts & BREAK) {
        if ((sec.parts & KICK) && b % 4 != 3 && !near_hit(t)) kick(m, t, 0.85f);
        if ((sec.parts & KICK) && b % 4 == 1 && !near_hit(t + beat / 2))
          kick(m, t + beat / 2, 0.7f);
      } else if ((sec.parts & KICK) && !near_hit(t)) {
        kick(m, t, (sec.parts & SPARSE) ? 0.55f : 0.8f);
      }
      if ((sec.parts & SNARE) && (b % 2 == 1) && !near_hit(t)) snare(m, t, 0.45f, drum_seed + b);
      if (sec.parts & HATS)
        for (int e = 0; e < 4; ++e) {
          double th = t + e * beat / 4;
          if (near_hit(th)) continue;
          if (e == 2)
            hat(m, th, 0.22f, (b % 4) == 3, drum_seed + b * 4 + e);
          else if (!(sec.parts & SPARSE))
            hat(m, th, 0.08f, false, drum_seed + b * 4 + e);
        }
      if ((sec.parts & BUILD) && last_bar)
        for (int e = 0; e < 4; ++e)
          if (!near_hit(t + e * beat / 4))
            snare(m, t + e * beat / 4, 0.12f + 0.3f * (b - beats + 4 + e / 4.0f) / 4,
                  drum_seed + 999 + b * 4 + e);
      if (sec.parts & BASS)
        for (int e = 0; e < 2; ++e) {
          double tb = t + e * beat / 2;
          float note = static_cast<float>(ch.root - 24 + ((b % 2 == 1 && e == 1) ? 12 : 0));
          if (!(sec.parts & SPARSE) || e == 0) bass(m, tb, beat * 0.42, note, 0.32f);
        }
      if ((sec.parts & PAD) && b % 4 == 0) {
        double dur = std::min(4 * beat, sec.end - t);
        for (int k = 0; k < 3; ++k) pad(m, t, dur, tri[k] + 12, 0.055f, -0.5f + 0.5f * k);
      }
      if (sec.parts & ARP)
        for (int e = 0; e < 4; ++e) {
          int step = b * 4 + e;
          float note = tri[step % 3] + 24 + ((step / 3) % 2 ? 12.0f : 0.0f);
          if ((sec.parts & SPARSE) && e % 2) continue;
          pluck(m, t + e * beat / 4, note, 0.07f, (step % 2) ? 0.5f : -0.5f);
        }
      if ((sec.parts & STABS) && (b % 2 == 1) && !near_hit(t + beat / 2)) {
        float up[3];
        chord_notes(ch, 12, up);
        stab(m, t + beat / 2, up, 3, 0.06f);
      }
      if (sec.parts & LEAD)
        for (int e = 0; e < 2; ++e) {
          int k = (b * 2 + e) % 16;
          if (motif[k] < 0) continue;
          int len8 = 1;
          while (len8 < 3 && motif[(k + len8) % 16] < 0) ++len8;
          float note = motif[k];
          if ((sec.parts & SPARSE) && e == 1) continue;
          lead(m, t + e * beat / 2, beat / 2 * len8 * 0.9, note, 0.11f);
        }
    }
    if (sec.parts & BUILD)
      riser(m, sec.end - std::min(len, 4 * beat), sec.end, 0.25f, seed + static_cast<uint32_t>(si));
  }
  // The hits: crash, a hard kick and a chord stab, all starting on the flash.
  for (double h : hit_times()) {
    const Section* sec = &sections().front();
    for (const auto& s : sections())
      if (h >= s.start) sec = &s;
    float tri[3];
    chord_notes(kProgressions[sec->progression][0], 12, tri);
    crash(m, h, 0.55f, seed + static_cast<uint32_t>(h * 100));
    kick(m, h, 1.0f);
    stab(m, h, tri, 3, 0.09f);
  }
  const size_t echo = at(kBeat * 0.75);
  return m.finish(echo, 0.35f, skip, at(kLength - 10));
}

}  // namespace forge::audio
