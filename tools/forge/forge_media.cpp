#include "forge_media.h"

#include "assets/data_files.h"
#include "audio_synth.h"
#include "img_writers.h"

namespace forge {

void save_jpeg(Forge& f, const std::string& name, const Canvas& c, int quality) {
  f.write(name, encode_jpeg(c.bitmap(), quality));
}

void save_jpeg_grey(Forge& f, const std::string& name, const Canvas& c, int quality) {
  f.write(name, encode_jpeg(c.bitmap(), quality, true));
}

void save_pcx24(Forge& f, const std::string& name, const Canvas& c) {
  f.write(name, encode_pcx24(c.bitmap()));
}

void save_pcx_keyed(Forge& f, const std::string& name, const Canvas& c) {
  Bitmap b = c.bitmap();
  Indexed ix = quantise_keyed(b);
  f.write(name, encode_pcx8(b.w, b.h, ix.index, ix.palette));
}

void save_tga(Forge& f, const std::string& name, const Canvas& c, bool rle) {
  f.write(name, encode_tga(c.bitmap(), rle));
}

uint32_t seed_of(const Forge& f, const std::string& name) {
  return static_cast<uint32_t>(f.rng(name).next() >> 32);
}

void make_music(Forge& f) {
  const auto pcm = audio::render(seed_of(f, "music"));
  f.write(data_file::kMusic, audio::encode_mp3(pcm, audio::kRate, 128));
}

}  // namespace forge
