#include "music/music.h"

#include <mpg123.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "music/streaming.h"
#include "platform/files.h"
#include "platform/options.h"

namespace {

constexpr const char* kCaption = "Quiet Orbit - Tidal Hall (Long Night Mix)";
constexpr const char* kMusicFile = "music\\var56.mp3";

struct Module {
  void* window = nullptr;
  std::unique_ptr<platform::SoundDevice> device;
  int started = 0;
  int32_t volumes[256] = {};

  MusicState state;
  std::unique_ptr<SoundBuffer> left, right, centre;
  int buffers_made = 0;

  int first_call = 1;
  float previous_t = 0.0f;
  double budget = 0.0;  // the fraction of a frame the last pump could not spend

  MemoryStream stream;
  mpg123_handle* decoder = nullptr;
  std::vector<uint8_t> accumulator;
  long long drop_bytes = 0;  // decoded output before the start time, thrown away
  int sample_bytes = 4;      // one interleaved left/right pair
};

Module m;

void message(const char* text, const char* caption) {
  platform::sound_message_box(m.window, text, caption);
}

// --- the memory stream as mpg123's reader ---------------------------------------------

mpg123_ssize_t reader_read(void* handle, void* buffer, size_t bytes) {
  return static_cast<mpg123_ssize_t>(
      mem_stream_read(static_cast<MemoryStream*>(handle), buffer, 1, bytes));
}

off_t reader_seek(void* handle, off_t offset, int whence) {
  auto* s = static_cast<MemoryStream*>(handle);
  if (mem_stream_seek(s, static_cast<long>(offset), whence) != 0) return -1;
  return mem_stream_tell(s);
}

// --- buffers ---------------------------------------------------------------------------

void create_channel_buffers() {
  int bits = m.state.output_bits == 16 ? 16 : 8;
  int rate = m.state.output_rate;
  if (m.state.stereo) {
    m.left.reset(sound_create_buffer(kChannelBufferBytes, rate, bits));
    if (!m.left) message("Unable to allocate left channel buffer!", kCaption);
    m.right.reset(sound_create_buffer(kChannelBufferBytes, rate, bits));
    if (!m.right) message("Unable to allocate right channel buffer!", kCaption);
    if (m.left) m.left->looping = 1;
    if (m.right) m.right->looping = 1;
  } else {
    m.centre.reset(sound_create_buffer(kChannelBufferBytes, rate, bits));
    if (m.centre) m.centre->looping = 1;
  }
  m.state.left = m.left.get();
  m.state.right = m.right.get();
  m.state.centre = m.centre.get();
  // A missing left buffer must not stop the right one from being refilled in time.
  m.state.position_buffer = m.left ? m.left.get() : (m.right ? m.right.get() : m.centre.get());
  m.buffers_made = 1;
}

// Copies bytes into a locked region, honouring both of its pieces.
void write_region(SoundBuffer* b, const uint8_t* bytes, int count) {
  int first = std::min(count, b->region1_bytes);
  if (first > 0) std::memcpy(b->region1, bytes, static_cast<size_t>(first));
  int second = std::min(count - first, b->region2_bytes);
  if (second > 0 && b->region2) std::memcpy(b->region2, bytes + first, static_cast<size_t>(second));
}

// --- the accumulator ------------------------------------------------------------------

void flush_full_halves() {
  while (static_cast<int>(m.state.accumulator_fill) >= kFlushBytes) {
    pcm_write(m.accumulator.data(), kFlushBytes);
    // What lies beyond the half belongs at the start of the next one; dropping it would
    // put the music behind the clock by a frame's worth every half.
    int rest = m.state.accumulator_fill - kFlushBytes;
    std::memmove(m.accumulator.data(), m.accumulator.data() + kFlushBytes,
                 static_cast<size_t>(rest));
    m.state.accumulator_fill = rest;
  }
}

void accumulate(const uint8_t* audio, size_t bytes) {
  if (m.drop_bytes > 0) {
    size_t dropped =
        static_cast<size_t>(std::min<long long>(m.drop_bytes, static_cast<long long>(bytes)));
    audio += dropped;
    bytes -= dropped;
    m.drop_bytes -= static_cast<long long>(dropped);
  }
  while (bytes > 0) {
    size_t room = static_cast<size_t>(kAccumulatorBytes - m.state.accumulator_fill);
    size_t take = std::min(bytes, room);
    std::memcpy(m.accumulator.data() + m.state.accumulator_fill, audio, take);
    m.state.accumulator_fill += static_cast<int>(take);
    audio += take;
    bytes -= take;
    flush_full_halves();
  }
}

// Zero is silence in both signed decoder formats; the writer makes 8-bit unsigned.
void flush_with_silence() {
  std::memset(m.accumulator.data() + m.state.accumulator_fill, 0,
              static_cast<size_t>(kFlushBytes - m.state.accumulator_fill));
  m.state.accumulator_fill = kFlushBytes;
  flush_full_halves();
}

// At the end of the stream the remainder goes out at once, padded with silence, so the
// looping buffers do not replay what the half held before.
void end_of_stream() {
  m.state.ended = 1;
  if (m.buffers_made) flush_with_silence();
}

// One round of decoding: one frame into the accumulator. Past the end of the stream each
// round silences the next half instead, so the looping buffers never repeat old music.
void decode_frame() {
  if (m.state.ended) {
    if (m.buffers_made) flush_with_silence();
    return;
  }
  for (;;) {
    off_t number;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    int rc = mpg123_decode_frame(m.decoder, &number, &audio, &bytes);
    if (rc == MPG123_NEW_FORMAT) continue;
    if (rc != MPG123_OK) {
      end_of_stream();
      return;
    }
    if (!m.buffers_made) {
      long rate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(m.decoder, &rate, &channels, &encoding);
      m.state.output_rate = static_cast<int>(rate);
      m.drop_bytes =
          static_cast<long long>(platform::run_options().start * static_cast<double>(rate)) *
          m.sample_bytes;
      if (m.drop_bytes < 0) m.drop_bytes = 0;
      create_channel_buffers();
    }
    ++m.state.frames_decoded;
    accumulate(audio, bytes);
    return;
  }
}

bool decoder_setup() {
  static bool library_ready = mpg123_init() == MPG123_OK;
  if (!library_ready) return false;
  int err = 0;
  m.decoder = mpg123_new(nullptr, &err);
  if (!m.decoder) return false;
  // Forced stereo: a mono file still comes out as left/right pairs.
  if (mpg123_param(m.decoder, MPG123_FLAGS, MPG123_FORCE_STEREO | MPG123_GAPLESS | MPG123_QUIET,
                   0) != MPG123_OK)
    return false;
  if (mpg123_param(m.decoder, MPG123_DOWN_SAMPLE, m.state.down_sampling, 0) != MPG123_OK)
    return false;
  int encoding = m.state.output_bits == 16 ? MPG123_ENC_SIGNED_16 : MPG123_ENC_SIGNED_8;
  if (mpg123_format_none(m.decoder) != MPG123_OK) return false;
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i)
    if (mpg123_format(m.decoder, rates[i], MPG123_STEREO, encoding) != MPG123_OK) return false;
  m.sample_bytes = m.state.output_bits == 16 ? 4 : 2;
  m.accumulator.assign(kAccumulatorBytes, 0);
  m.state.accumulator_fill = 0;
  return mpg123_replace_reader_handle(m.decoder, reader_read, reader_seek, nullptr) == MPG123_OK;
}

void decoder_release() {
  if (m.decoder) {
    mpg123_close(m.decoder);
    mpg123_delete(m.decoder);
    m.decoder = nullptr;
  }
}

}  // namespace

// --- option search --------------------------------------------------------------------

int find_option(const char* command_line, const char* option) {
  if (!command_line || !option || !option[0]) return 0;
  size_t line = std::strlen(command_line);
  size_t length = std::strlen(option);
  if (line < 2) return 0;
  for (size_t i = 0; i + length <= line; ++i) {
    if (command_line[i] != option[0]) continue;
    size_t k = 0;
    while (k < length && std::tolower(static_cast<unsigned char>(command_line[i + k])) ==
                             std::tolower(static_cast<unsigned char>(option[k])))
      ++k;
    if (k == length) return static_cast<int>(i) + 1;
  }
  return 0;
}

const int32_t* volume_table() {
  return m.volumes;
}

// --- memory stream --------------------------------------------------------------------

bool mem_stream_open(MemoryStream* s, const char* show_name) {
  mem_stream_close(s);
  FILE* f = platform::data_fopen(show_name, "rb");
  if (!f) return false;
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  // A directory or a pipe gives no usable size.
  if (size < 0 || size > 0x7fffffffL || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return false;
  }
  auto* block = new (std::nothrow) uint8_t[static_cast<size_t>(size) + 1];
  if (!block) {
    std::fclose(f);
    return false;
  }
  size_t got = std::fread(block, 1, static_cast<size_t>(size), f);
  std::fclose(f);
  if (got != static_cast<size_t>(size)) {
    delete[] block;
    return false;
  }
  s->block = block;
  s->size = size;
  s->position = 0;
  return true;
}

size_t mem_stream_read(MemoryStream* s, void* destination, size_t item_size, size_t item_count) {
  if (!s->block || item_size == 0) return 0;
  size_t left = static_cast<size_t>(s->size - s->position);
  size_t items = std::min(item_count, left / item_size);
  std::memcpy(destination, s->block + s->position, items * item_size);
  s->position += static_cast<long>(items * item_size);
  return items;
}

int mem_stream_seek(MemoryStream* s, long offset, int origin) {
  long base;
  switch (origin) {
    case 0:
      base = 0;
      break;
    case 1:
      base = s->position;
      break;
    case 2:
      base = s->size;
      break;
    default:
      return 1;
  }
  // Offsets from mpg123 may be far out of range; clamp without overflowing.
  long target;
  if (offset > 0 && base > s->size - offset)
    target = s->size;
  else if (offset < 0 && base < -offset)
    target = 0;
  else
    target = base + offset;
  s->position = std::clamp(target, 0L, s->size);
  return 0;
}

long mem_stream_tell(const MemoryStream* s) {
  return s->position;
}

void mem_stream_close(MemoryStream* s) {
  delete[] s->block;
  s->block = nullptr;
  s->size = 0;
  s->position = 0;
}

// --- sound device ---------------------------------------------------------------------

int sound_start(void* window, int rate, int bits) {
  if (m.started) return 1;
  m.device = platform::sound_device_create();
  if (!m.device) return 0;
  if (!m.device->set_cooperative_level_priority(window) || !m.device->create_primary_buffer()) {
    m.device.reset();
    return 0;
  }
  // The primary format is a request; its result does not matter.
  m.device->set_primary_format(2, rate, bits);
  m.volumes[0] = -10000;
  for (int i = 1; i < 256; ++i)
    m.volumes[i] = static_cast<int32_t>(std::log(static_cast<double>(i) / 255.0) * 1000.0);
  m.started = 1;
  return 1;
}

SoundBuffer* sound_create_buffer(int bytes, int rate, int bits) {
  if (!m.device || bytes <= 0) return nullptr;
  auto b = std::make_unique<SoundBuffer>();
  b->interface = m.device->create_buffer(static_cast<uint32_t>(bytes), rate, bits);
  if (!b->interface) return nullptr;
  b->bits = bits;
  b->rate = rate;
  return b.release();
}

int sound_lock(SoundBuffer* b, int offset, int bytes) {
  if (!b) return 0;
  if (b->locked) sound_unlock(b);
  void *first = nullptr, *second = nullptr;
  uint32_t first_bytes = 0, second_bytes = 0;
  bool ok = offset >= 0 && bytes > 0 &&
            b->interface->lock(static_cast<uint32_t>(offset), static_cast<uint32_t>(bytes), &first,
                               &first_bytes, &second, &second_bytes);
  b->locked = ok ? 1 : 0;
  b->region1 = ok ? first : nullptr;
  b->region1_bytes = ok ? static_cast<int32_t>(first_bytes) : 0;
  b->region2 = ok ? second : nullptr;
  b->region2_bytes = ok ? static_cast<int32_t>(second_bytes) : 0;
  return b->locked;
}

int sound_unlock(SoundBuffer* b) {
  if (!b) return 0;
  if (!b->locked) return 1;
  if (!b->interface->unlock(b->region1, static_cast<uint32_t>(b->region1_bytes), b->region2,
                            static_cast<uint32_t>(b->region2_bytes)))
    return 0;
  b->locked = 0;
  return 1;
}

void sound_play(SoundBuffer* b, int position, int frequency, int volume, int pan) {
  if (!b) return;
  b->interface->set_current_position(static_cast<uint32_t>(std::max(position, 0)));
  int hz = std::clamp(frequency, 100, 100000);
  if (b->interface->set_frequency(static_cast<uint32_t>(hz))) b->rate = hz;
  b->interface->set_volume(m.volumes[std::clamp(volume, 0, 255)]);
  b->interface->set_pan(std::clamp(pan, -127, 127) * 10000 / 127);
  b->interface->play(b->looping != 0);
}

void sound_stop(SoundBuffer* b) {
  if (b) b->interface->stop();
}

int sound_play_position(SoundBuffer* b) {
  uint32_t cursor = 0;
  if (!b || !b->interface->get_current_position(&cursor)) return 0;
  return static_cast<int>(cursor);
}

// --- PCM writer -----------------------------------------------------------------------

void pcm_write(const uint8_t* samples, int byte_count) {
  const int offset = m.state.next_half * kHalfBytes;
  SoundBuffer* targets[2] = {nullptr, nullptr};
  const char* names[2] = {"left", "right"};
  int count = 0;
  if (m.state.stereo) {
    targets[0] = m.left.get();
    targets[1] = m.right.get();
    count = 2;
  } else {
    targets[0] = m.centre.get();
    names[0] = "middle";
    count = 1;
  }
  bool locked[2] = {false, false};
  for (int i = 0; i < count; ++i) {
    if (!targets[i]) continue;
    locked[i] = sound_lock(targets[i], offset, kHalfBytes) != 0;
    if (!locked[i]) message(names[i], "fail");
  }

  const int bits = m.state.output_bits;
  const int pairs = byte_count / (bits == 16 ? 4 : 2);
  const int per_half = bits == 16 ? kHalfBytes / 2 : kHalfBytes;
  const int n = std::min(pairs, per_half);
  static std::vector<uint8_t> out;
  out.resize(kHalfBytes);
  for (int c = 0; c < count; ++c) {
    if (!locked[c]) continue;
    if (bits == 16) {
      auto* dst = reinterpret_cast<int16_t*>(out.data());
      for (int i = 0; i < n; ++i) {
        int16_t l, r;
        std::memcpy(&l, samples + 4 * i, 2);
        std::memcpy(&r, samples + 4 * i + 2, 2);
        if (!m.state.stereo)
          dst[i] = static_cast<int16_t>((l + r) >> 1);
        else
          dst[i] = c == 0 ? l : r;
      }
      write_region(targets[c], out.data(), n * 2);
    } else {
      const auto* src = reinterpret_cast<const int8_t*>(samples);
      for (int i = 0; i < n; ++i) {
        int l = src[2 * i], r = src[2 * i + 1];
        int v = !m.state.stereo ? (l + r) >> 1 : (c == 0 ? l : r);
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(v + 128);
      }
      write_region(targets[c], out.data(), n);
    }
  }
  for (int i = 0; i < count; ++i)
    if (locked[i]) sound_unlock(targets[i]);
  m.state.next_half = 1 - m.state.next_half;
}

const MusicState& music_state() {
  return m.state;
}

// --- the host's calls -----------------------------------------------------------------

int music_init(void* window, const char* command_line) {
  m.window = window;
  if (!sound_start(window, 22050, 16)) return 0;

  // Start from a clean slate: a second init after a stop (tests do this) sees no leftovers.
  decoder_release();
  mem_stream_close(&m.stream);
  m.left.reset();
  m.right.reset();
  m.centre.reset();
  m.buffers_made = 0;
  m.state = MusicState{};
  m.first_call = 1;
  m.previous_t = 0.0f;
  m.budget = 0.0;
  m.drop_bytes = 0;

  if (find_option(command_line, "8bit")) m.state.output_bits = 8;
  if (find_option(command_line, "mono")) m.state.stereo = 0;
  if (find_option(command_line, "1to1"))
    m.state.down_sampling = 0;
  else if (find_option(command_line, "2to1"))
    m.state.down_sampling = 1;
  else if (find_option(command_line, "4to1"))
    m.state.down_sampling = 2;

  if (!decoder_setup()) {
    decoder_release();
    return 0;
  }
  if (!mem_stream_open(&m.stream, kMusicFile)) {
    decoder_release();
    return 0;
  }
  if (mpg123_open_handle(m.decoder, &m.stream) != MPG123_OK) {
    decoder_release();
    mem_stream_close(&m.stream);
    return 0;
  }
  m.state.next_half = 0;

  // Prime: half 0 must be full before the buffers start.
  while (m.state.next_half == 0 && !m.state.ended) decode_frame();
  if (!m.buffers_made) {
    // Not one decodable frame.
    decoder_release();
    mem_stream_close(&m.stream);
    return 0;
  }
  m.state.ready = 1;
  return 1;
}

void music_start() {
  if (!m.state.ready) return;
  if (m.state.stereo) {
    sound_play(m.left.get(), 0, m.state.output_rate, 255, -127);
    sound_play(m.right.get(), 0, m.state.output_rate, 255, 127);
  } else {
    sound_play(m.centre.get(), 0, m.state.output_rate, 255, 0);
  }
  m.state.playing = 1;
}

void music_pump(float t) {
  int n;
  if (m.first_call) {
    n = 5;
    m.first_call = 0;
  } else {
    // The fraction is carried: truncating it every frame would decode fewer frames than
    // the music plays at 33 to 38 frames per second.
    m.budget += static_cast<double>(t - m.previous_t) * 65.0;
    n = static_cast<int>(m.budget);
    if (n < 1) n = 1;
    m.budget = std::max(0.0, m.budget - n);
  }
  m.previous_t = t;
  m.state.last_pump_budget = n;
  if (!m.state.playing || !m.state.position_buffer) return;
  for (int i = 0; i < n; ++i) {
    int cursor = sound_play_position(m.state.position_buffer);
    bool other_half = m.state.next_half == 1 ? cursor < kHalfBytes : cursor >= kHalfBytes;
    if (other_half) decode_frame();
  }
}

void music_stop() {
  sound_stop(m.left.get());
  sound_stop(m.right.get());
  sound_stop(m.centre.get());
  m.state.playing = 0;
  m.state.ready = 0;
  decoder_release();
  mem_stream_close(&m.stream);
}

void sound_shutdown() {
  if (!m.started) return;
  m.left.reset();
  m.right.reset();
  m.centre.reset();
  m.state.left = m.state.right = m.state.centre = m.state.position_buffer = nullptr;
  m.buffers_made = 0;
  m.device.reset();
  m.started = 0;
}
