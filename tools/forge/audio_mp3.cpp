// MP3 through libmp3lame.
#include <lame/lame.h>

#include <cstdarg>
#include <stdexcept>

#include "audio_synth.h"

namespace forge::audio {

namespace {
void quiet(const char*, va_list) {}
}  // namespace

std::vector<uint8_t> encode_mp3(const std::vector<int16_t>& pcm, int rate, int kbps) {
  lame_t gf = lame_init();
  if (!gf) throw std::runtime_error("MP3 encoder: lame_init failed");
  lame_set_errorf(gf, quiet);
  lame_set_debugf(gf, quiet);
  lame_set_msgf(gf, quiet);
  lame_set_in_samplerate(gf, rate);
  lame_set_out_samplerate(gf, rate);
  lame_set_num_channels(gf, 2);
  lame_set_mode(gf, JOINT_STEREO);
  lame_set_VBR(gf, vbr_off);
  lame_set_brate(gf, kbps);
  lame_set_quality(gf, 7);       // fast; the music is simple enough
  lame_set_bWriteVbrTag(gf, 1);  // the Info tag carries delay and padding for gapless decoding
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    throw std::runtime_error("MP3 encoder: parameters refused");
  }
  std::vector<uint8_t> out;
  const int chunk = 1152 * 64;  // samples per channel a call
  std::vector<uint8_t> buf(static_cast<size_t>(chunk * 5 / 4 + 7200));
  const size_t frames = pcm.size() / 2;
  for (size_t i = 0; i < frames; i += chunk) {
    int n = static_cast<int>(std::min<size_t>(chunk, frames - i));
    int got = lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data() + i * 2), n,
                                             buf.data(), static_cast<int>(buf.size()));
    if (got < 0) {
      lame_close(gf);
      throw std::runtime_error("MP3 encoder: encoding failed");
    }
    out.insert(out.end(), buf.begin(), buf.begin() + got);
  }
  int got = lame_encode_flush(gf, buf.data(), static_cast<int>(buf.size()));
  if (got > 0) out.insert(out.end(), buf.begin(), buf.begin() + got);
  // The tag frame was written as a placeholder at the start; fill it in now.
  size_t tag = lame_get_lametag_frame(gf, buf.data(), buf.size());
  if (tag > 0 && tag <= out.size())
    std::copy(buf.begin(), buf.begin() + static_cast<ptrdiff_t>(tag), out.begin());
  lame_close(gf);
  return out;
}

}  // namespace forge::audio
