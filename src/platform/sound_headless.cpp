#include "platform/sound_headless.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/clock.h"

namespace platform {
namespace {
int last_underruns = -1;

void put_u32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void put_u16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
}  // namespace

struct HeadlessBufferState {
  std::vector<uint8_t> data;
  int64_t frames = 0;
  int bytes_per_sample = 2;
  uint32_t frequency = 22050;
  int32_t volume = 0;
  int32_t pan = 0;
  bool playing = false;
  bool looping = false;
  bool alive = true;
  // Sample position base at output sample n_start; positions are absolute (not wrapped)
  // so that half crossings can be counted.
  int64_t base = 0;
  int64_t n_start = 0;
  int64_t last_abs = 0;
  bool rewritten[2] = {false, false};
};

struct HeadlessSoundCore {
  std::string capture_path;
  bool report = false;
  FILE* capture = nullptr;
  bool capture_failed = false;
  uint64_t captured_frames = 0;
  int out_rate = 0;  // the first buffer's rate: the output timeline
  bool started = false;
  double origin = 0.0;  // virtual time of the first play
  int64_t emitted = 0;  // output samples accounted for so far
  int underruns = 0;
  bool finished = false;
  std::vector<std::unique_ptr<HeadlessBufferState>> buffers;

  int64_t now_index() const {
    if (!started) return 0;
    // A hair of slack so that k / fps steps land on whole samples despite rounding.
    double n = std::floor((virtual_clock_seconds() - origin) * out_rate + 1e-6);
    return std::max<int64_t>(static_cast<int64_t>(n), emitted);
  }

  static int64_t position(const HeadlessBufferState& b, int64_t n, int out_rate) {
    return b.base + (n - b.n_start) * static_cast<int64_t>(b.frequency) / out_rate;
  }

  int sample_at(const HeadlessBufferState& b, int64_t abs) const {
    int64_t i = abs % b.frames;
    if (b.bytes_per_sample == 2) {
      int16_t s;
      std::memcpy(&s, &b.data[static_cast<size_t>(i) * 2], 2);
      return s;
    }
    return (static_cast<int>(b.data[static_cast<size_t>(i)]) - 128) * 256;
  }

  void track_halves(HeadlessBufferState& b, int64_t to) {
    int64_t half = b.frames / 2;
    if (half <= 0) return;
    for (int64_t edge = (b.last_abs / half + 1) * half; edge <= to; edge += half) {
      int left = static_cast<int>(((edge - 1) / half) % 2);
      int entered = static_cast<int>((edge / half) % 2);
      b.rewritten[left] = false;
      if (!b.rewritten[entered]) ++underruns;
    }
    b.last_abs = std::max(b.last_abs, to);
  }

  bool open_capture() {
    if (capture || capture_failed || capture_path.empty()) return capture != nullptr;
    capture = std::fopen(capture_path.c_str(), "wb");
    if (!capture) {
      capture_failed = true;
      std::fprintf(stderr, "cannot write the sound capture \"%s\"\n", capture_path.c_str());
      return false;
    }
    unsigned char header[44] = {};
    std::fwrite(header, 1, sizeof header, capture);  // completed when the device is released
    return true;
  }

  // Plays the buffers up to the virtual clock's present: records the mix and counts
  // underruns. Called before anything changes a buffer, so what was heard is kept.
  void advance() {
    if (!started || finished) return;
    int64_t target = now_index();
    if (target <= emitted) return;
    int64_t count = target - emitted;
    std::vector<float> left, right;
    bool recording = open_capture();
    if (recording) {
      left.assign(static_cast<size_t>(count), 0.0f);
      right.assign(static_cast<size_t>(count), 0.0f);
    }
    for (auto& bp : buffers) {
      HeadlessBufferState& b = *bp;
      if (!b.alive || !b.playing || b.frames == 0) continue;
      int64_t end_abs = position(b, target, out_rate);
      int64_t stop_at = count;
      if (!b.looping && end_abs >= b.frames) {
        // A one-shot buffer falls silent at its end.
        stop_at = 0;
        while (stop_at < count && position(b, emitted + stop_at, out_rate) < b.frames) ++stop_at;
      }
      if (recording) {
        double gl, gr;
        sound_gains(b.volume, b.pan, &gl, &gr);
        for (int64_t k = 0; k < stop_at; ++k) {
          float s = static_cast<float>(sample_at(b, position(b, emitted + k, out_rate)));
          left[static_cast<size_t>(k)] += static_cast<float>(gl) * s;
          right[static_cast<size_t>(k)] += static_cast<float>(gr) * s;
        }
      }
      if (b.looping) {
        track_halves(b, end_abs);
      } else if (stop_at < count) {
        b.base = b.frames;
        b.n_start = emitted + stop_at;
        b.last_abs = b.frames;
        b.playing = false;
      }
    }
    if (recording) {
      std::vector<int16_t> pcm(static_cast<size_t>(count) * 2);
      for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
        pcm[2 * k] = static_cast<int16_t>(std::clamp(std::lround(left[k]), -32768L, 32767L));
        pcm[2 * k + 1] = static_cast<int16_t>(std::clamp(std::lround(right[k]), -32768L, 32767L));
      }
      std::fwrite(pcm.data(), sizeof(int16_t), pcm.size(), capture);
      captured_frames += static_cast<uint64_t>(count);
    }
    emitted = target;
  }

  void rebase(HeadlessBufferState& b) {
    int64_t n = emitted;
    if (b.playing) b.base = position(b, n, out_rate);
    b.n_start = n;
  }

  void finish() {
    if (finished) return;
    advance();
    finished = true;
    if (!capture && !capture_failed && !capture_path.empty() && started) open_capture();
    if (capture) {
      unsigned char h[44];
      uint32_t data_bytes = static_cast<uint32_t>(captured_frames * 4);
      std::memcpy(h, "RIFF", 4);
      put_u32(h + 4, 36 + data_bytes);
      std::memcpy(h + 8, "WAVEfmt ", 8);
      put_u32(h + 16, 16);
      put_u16(h + 20, 1);
      put_u16(h + 22, 2);
      put_u32(h + 24, static_cast<uint32_t>(out_rate));
      put_u32(h + 28, static_cast<uint32_t>(out_rate) * 4);
      put_u16(h + 32, 4);
      put_u16(h + 34, 16);
      std::memcpy(h + 36, "data", 4);
      put_u32(h + 40, data_bytes);
      std::fseek(capture, 0, SEEK_SET);
      std::fwrite(h, 1, sizeof h, capture);
      std::fclose(capture);
      capture = nullptr;
    }
    last_underruns = underruns;
    // Nothing played, nothing to report (the sound start failed before any play).
    if (report && started) std::fprintf(stderr, "sound: %d underruns\n", underruns);
  }
};

namespace {

class HeadlessBuffer : public SoundDeviceBuffer {
 public:
  HeadlessBuffer(std::shared_ptr<HeadlessSoundCore> core, HeadlessBufferState* state)
      : core_(std::move(core)), b_(state) {}
  ~HeadlessBuffer() override {
    core_->advance();
    b_->alive = false;
    b_->playing = false;
  }

  bool lock(uint32_t offset, uint32_t bytes, void** first, uint32_t* first_bytes, void** second,
            uint32_t* second_bytes) override {
    if (core_->finished) return false;
    uint32_t size = static_cast<uint32_t>(b_->data.size());
    if (offset >= size || bytes == 0 || bytes > size) return false;
    core_->advance();
    *first = b_->data.data() + offset;
    *first_bytes = std::min(bytes, size - offset);
    *second = bytes > *first_bytes ? b_->data.data() : nullptr;
    *second_bytes = bytes - *first_bytes;
    return true;
  }

  bool unlock(void* first, uint32_t first_bytes, void* second, uint32_t second_bytes) override {
    if (core_->finished) return false;
    mark(first, first_bytes);
    mark(second, second_bytes);
    return true;
  }

  bool set_current_position(uint32_t byte_offset) override {
    if (core_->finished || byte_offset >= b_->data.size()) return false;
    core_->advance();
    b_->base = byte_offset / b_->bytes_per_sample;
    b_->n_start = core_->emitted;
    b_->last_abs = b_->base;
    return true;
  }

  bool set_frequency(uint32_t hz) override {
    if (core_->finished || hz < kSoundFrequencyMin || hz > kSoundFrequencyMax) return false;
    core_->advance();
    core_->rebase(*b_);
    b_->frequency = hz;
    return true;
  }

  bool set_volume(int32_t v) override {
    if (core_->finished || v < kSoundVolumeMin || v > kSoundVolumeMax) return false;
    core_->advance();
    b_->volume = v;
    return true;
  }

  bool set_pan(int32_t pan) override {
    if (core_->finished || pan < kSoundPanLeft || pan > kSoundPanRight) return false;
    core_->advance();
    b_->pan = pan;
    return true;
  }

  bool play(bool looping) override {
    if (core_->finished) return false;
    if (!core_->started) {
      core_->started = true;
      core_->origin = virtual_clock_seconds();
      core_->emitted = 0;
    }
    core_->advance();
    if (b_->playing) {
      b_->looping = looping;
      return true;
    }
    b_->n_start = core_->emitted;
    b_->playing = true;
    b_->looping = looping;
    b_->last_abs = b_->base;
    int64_t half = b_->frames / 2;
    if (half > 0 && !b_->rewritten[(b_->base / half) % 2]) ++core_->underruns;
    return true;
  }

  bool stop() override {
    if (core_->finished) return false;
    core_->advance();
    core_->rebase(*b_);
    b_->playing = false;
    return true;
  }

  bool get_current_position(uint32_t* play_cursor) override {
    if (core_->finished) return false;
    core_->advance();
    int64_t abs =
        b_->playing ? HeadlessSoundCore::position(*b_, core_->emitted, core_->out_rate) : b_->base;
    *play_cursor = static_cast<uint32_t>((abs % b_->frames) * b_->bytes_per_sample);
    return true;
  }

 private:
  void mark(void* piece, uint32_t bytes) {
    if (!piece || bytes == 0) return;
    size_t from = static_cast<size_t>(static_cast<uint8_t*>(piece) - b_->data.data());
    size_t to = from + bytes;  // exclusive
    size_t half = b_->data.size() / 2;
    if (half == 0) return;
    for (size_t h = 0; h < 2; ++h)
      if (from < (h + 1) * half && to > h * half) b_->rewritten[h] = true;
  }

  std::shared_ptr<HeadlessSoundCore> core_;
  HeadlessBufferState* b_;
};

}  // namespace

HeadlessSoundDevice::HeadlessSoundDevice(std::string capture_path, bool report)
    : core_(std::make_shared<HeadlessSoundCore>()) {
  core_->capture_path = std::move(capture_path);
  core_->report = report;
}

HeadlessSoundDevice::~HeadlessSoundDevice() {
  core_->finish();
}

bool HeadlessSoundDevice::set_cooperative_level_priority(void*) {
  return true;
}
bool HeadlessSoundDevice::create_primary_buffer() {
  return true;
}
bool HeadlessSoundDevice::set_primary_format(int, int, int) {
  return true;
}

std::unique_ptr<SoundDeviceBuffer> HeadlessSoundDevice::create_buffer(uint32_t bytes, int rate,
                                                                      int bits) {
  if (core_->finished || (bits != 8 && bits != 16) || rate < static_cast<int>(kSoundFrequencyMin) ||
      rate > static_cast<int>(kSoundFrequencyMax) || bytes == 0 || bytes % (bits / 8) != 0)
    return nullptr;
  auto state = std::make_unique<HeadlessBufferState>();
  state->bytes_per_sample = bits / 8;
  // Fresh buffers hold silence in their own format.
  state->data.assign(bytes, bits == 8 ? 128 : 0);
  state->frames = bytes / state->bytes_per_sample;
  state->frequency = static_cast<uint32_t>(rate);
  if (core_->out_rate == 0) core_->out_rate = rate;
  HeadlessBufferState* raw = state.get();
  core_->buffers.push_back(std::move(state));
  return std::make_unique<HeadlessBuffer>(core_, raw);
}

int HeadlessSoundDevice::underruns() const {
  return core_->underruns;
}

int sound_headless_last_underruns() {
  return last_underruns;
}

}  // namespace platform
