#include "assets/motion.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "assets/readers.h"
#include "platform/files.h"

MotionTrack* motion_tracks = nullptr;
int32_t motion_track_count = 0;
float motion_time_divisor = 3.0f;
char motion_header[64] = {};

namespace {

// 63 characters and the terminator; byte 12 is Latin-1 A with ring (0xC5), spelled as a
// byte so that no source encoding can turn it into two.
constexpr char kMagic[64] = "QUB SL\xC5R TIL IGJEN MED NOK ET KULT PROGRAM OG NOK EN KUL HEADER";
static_assert(sizeof(kMagic) == 64 && kMagic[62] == 'R');

// Where each of a frame's twelve file values goes in the engine matrix (row * 4 + column):
// the file's second and third axes are exchanged against the engine's.
constexpr int kValueSlot[12] = {0, 2, 1, 8, 10, 9, 4, 6, 5, 12, 14, 13};

struct ScratchTrack {
  char name[64];
  int32_t frame_count;
  std::vector<Mat4> frames;
};

void allocate_table() {
  motion_tracks = new MotionTrack[MOTION_MAX_TRACKS]();
  for (int i = 0; i < MOTION_MAX_TRACKS; ++i)
    motion_tracks[i].frames = new Mat4[MOTION_MAX_FRAMES]();
}

bool read_i32(FILE* f, int32_t& out) {
  uint8_t b[4];
  if (!image_io::read_exact(f, b, 4)) return false;
  out = static_cast<int32_t>(image_io::le32(b));
  return true;
}

MotionLoad refuse(const char* path, const char* why) {
  std::printf("%s: %s\n", path, why);
  return MotionLoad::kRefused;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

MotionLoad motion_load(const char* path) {
  if (!motion_tracks) allocate_table();
  image_io::File file(platform::data_fopen(path, "rb"));
  if (!file) return MotionLoad::kMissing;
  FILE* f = file.get();

  std::memset(motion_header, 0, sizeof motion_header);
  size_t got = std::fread(motion_header, 1, sizeof motion_header, f);
  if (got < sizeof motion_header || std::memcmp(motion_header, kMagic, sizeof kMagic) != 0) {
    std::printf("header mismatch\n");
    return MotionLoad::kRefused;
  }

  // Everything goes to scratch first: a file refused half way leaves the old motion whole.
  int32_t count = 0;
  if (!read_i32(f, count)) return refuse(path, "motion file ends early");
  if (count < 0 || count > MOTION_MAX_TRACKS)
    return refuse(path, "motion track count outside 0..30");
  std::vector<ScratchTrack> tracks(static_cast<size_t>(count));
  for (ScratchTrack& track : tracks) {
    size_t length = 0;
    for (;;) {
      int c = std::fgetc(f);
      if (c == EOF) return refuse(path, "motion file ends early");
      if (length == sizeof track.name - 1 && c != 0)
        return refuse(path, "motion track name too long");
      track.name[length++] = static_cast<char>(c);
      if (c == 0) break;
    }
    int32_t values = 0;
    if (!read_i32(f, values)) return refuse(path, "motion file ends early");
    if (values < 0 || values % 12 != 0)
      return refuse(path, "motion track value count is not a multiple of 12");
    track.frame_count = values / 12;
    if (track.frame_count < 2) return refuse(path, "motion track has fewer than 2 frames");
    if (track.frame_count > MOTION_MAX_FRAMES)
      return refuse(path, "motion track has more than 400 frames");
    track.frames.resize(static_cast<size_t>(track.frame_count));
    for (Mat4& frame : track.frames) {
      uint8_t raw[48];
      if (!image_io::read_exact(f, raw, sizeof raw)) return refuse(path, "motion file ends early");
      mat_identity(&frame);
      for (int v = 0; v < 12; ++v) {
        uint32_t bits = image_io::le32(raw + 4 * v);
        std::memcpy(&frame.m[kValueSlot[v]], &bits, 4);
      }
    }
  }

  for (int32_t i = 0; i < count; ++i) {
    MotionTrack& track = motion_tracks[i];
    std::memcpy(track.name, tracks[i].name, sizeof track.name);
    track.frame_count = tracks[i].frame_count;
    std::memcpy(track.frames, tracks[i].frames.data(), tracks[i].frames.size() * sizeof(Mat4));
    track.bound_object = nullptr;
  }
  motion_track_count = count;
  return MotionLoad::kLoaded;
}

void motion_unbind() {
  if (!motion_tracks) return;
  for (int32_t i = 0; i < motion_track_count; ++i) motion_tracks[i].bound_object = nullptr;
}

Mesh* motion_find_mesh(World* world, const char* name) {
  constexpr size_t kField = sizeof(Mesh::name);
  for (int i = 0; i < world->mesh_count; ++i) {
    const char* mesh_name = world->meshes[i].name;
    size_t k = 0;
    while (k < kField && mesh_name[k] && lower(mesh_name[k]) == lower(name[k])) ++k;
    // Equal when both end together (a full field ends where the name ends).
    if (k < kField ? mesh_name[k] == 0 && name[k] == 0 : name[k] == 0) return &world->meshes[i];
  }
  return nullptr;
}

void motion_apply(World* world, float time) {
  if (!motion_tracks) return;
  const float t = time / motion_time_divisor;
  // Never negative in the show; a time that is not a finite number poses frame 0.
  const float whole = std::isfinite(t) ? std::floor(t) : 0.0f;
  const float f = std::isfinite(t) ? t - whole : 0.0f;
  for (int32_t i = 0; i < motion_track_count; ++i) {
    MotionTrack& track = motion_tracks[i];
    const int period = track.frame_count - 1;
    // fmod in double is exact for whole numbers and never overflows an int.
    double wrapped = std::fmod(static_cast<double>(whole), period);
    if (wrapped < 0) wrapped += period;
    const int index = static_cast<int>(wrapped);
    if (!track.bound_object) track.bound_object = motion_find_mesh(world, track.name);
    Mesh* mesh = track.bound_object;
    if (!mesh) continue;
    const Mat4& a = track.frames[index];
    const Mat4& b = track.frames[index + 1];
    for (int row = 0; row < 4; ++row)
      for (int col = 0; col < 3; ++col) {
        const int k = row * 4 + col;
        mesh->render_matrix.m[k] = a.m[k] + (b.m[k] - a.m[k]) * f;
      }
  }
}
