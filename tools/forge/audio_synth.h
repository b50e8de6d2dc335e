// The soundtrack: an original piece synthesised sample by sample (drums, bass, chords,
// arpeggio, lead), laid out on the show's timeline: its sections change where the
// pictures change scene, and its hits fall on the white flashes.
#pragma once
#include <cstdint>
#include <vector>

namespace forge::audio {

inline constexpr int kRate = 44100;
inline constexpr double kLength = 286.0;  // seconds; the show ends at 266 s, the music rings on

// Section boundaries in seconds (0 and kLength are implied).
const std::vector<double>& section_starts();
// Times of the big hits (crash, kick and a chord stab together).
const std::vector<double>& hit_times();

// Renders the whole piece: interleaved stereo 16-bit, kRate samples a second.
// `skip` samples are dropped from the start (to make up for a codec's delay).
std::vector<int16_t> render(uint32_t seed, int skip = 0);

// MPEG-1 Layer III through libmp3lame, constant bitrate, with the encoder's delay and
// padding recorded in the stream's information tag so gapless decoders restore the
// exact sample positions.
std::vector<uint8_t> encode_mp3(const std::vector<int16_t>& interleaved, int rate, int kbps);

}  // namespace forge::audio
