// The dancer's motions: the catwalk walk and five dances, posed joint by joint and
// placed by forward kinematics, so the body stays assembled in every frame.
#include <cmath>
#include <cstring>
#include <functional>

#include "assets/data_files.h"
#include "forge_3d.h"

namespace forge {
namespace {

using dancer::euler;
using dancer::Pose;

// The walk: the dancer starts far down the runway and walks to the origin, where she
// stops and strikes a pose. Speed in units per motion frame (7.5 motion frames a second).
constexpr double kWalkStart = 1350.0;
constexpr double kStopBegin = 62.0, kStopEnd = 80.0;  // frames over which the walk slows
constexpr double kStride = 170.0;                     // units per gait cycle (two steps)

double walk_speed(double f) {
  // Constant speed, then a cosine slow-down to rest; v0 makes the distance come out.
  const double ramp = (kStopEnd - kStopBegin) / 2.0;  // integral of the slow-down
  const double v0 = kWalkStart / (kStopBegin + ramp);
  if (f <= kStopBegin) return v0;
  if (f >= kStopEnd) return 0;
  return v0 * 0.5 * (1 + std::cos(kPi * (f - kStopBegin) / (kStopEnd - kStopBegin)));
}

double walk_distance(double f) {
  const double v0 = walk_speed(0);
  if (f <= kStopBegin) return v0 * f;
  const double len = kStopEnd - kStopBegin;
  double x = std::min(f, kStopEnd) - kStopBegin;
  return v0 * kStopBegin + v0 * 0.5 * (x + len / kPi * std::sin(kPi * x / len));
}

// Gait at phase ph with amplitude a (0 standing .. 1 full stride).
void gait(Pose& p, double ph, double a) {
  using namespace dancer;
  double s = std::sin(ph), c = std::cos(ph);
  auto knee = [](double phase) {
    double k = 0.5 + 0.5 * std::cos(phase);
    return 0.08 + 0.55 * k * k;
  };
  double thigh_l = 0.38 * a * s, thigh_r = -0.38 * a * s;
  double knee_l = -a * knee(ph), knee_r = -a * knee(ph + kPi);
  p.local[kLegUpperL] = euler(thigh_l, 0, 0);
  p.local[kLegUpperR] = euler(thigh_r, 0, 0);
  p.local[kLegLowerL] = euler(knee_l, 0, 0);
  p.local[kLegLowerR] = euler(knee_r, 0, 0);
  p.local[kFotL] = euler(-0.6 * (thigh_l + knee_l), 0, 0);
  p.local[kFotR] = euler(-0.6 * (thigh_r + knee_r), 0, 0);
  double hip_yaw = 0.14 * a * s;
  p.local[kHip] = euler(0, hip_yaw, 0.05 * a * c);
  p.local[kChest] = euler(0.04 * a, -0.2 * a * s, -0.05 * a * c);
  p.local[kNeck] = euler(0, 0.03 * a * s, 0);
  p.local[kHead] = euler(-0.03 * a, 0.03 * a * s, 0);
  p.local[kArmUpperL] = euler(-0.38 * a * s, 0, 0.09);
  p.local[kArmUpperR] = euler(0.38 * a * s, 0, -0.09);
  p.local[kArmLowerL] = euler(0.22 + 0.18 * a * (0.5 - 0.5 * s), 0, 0);
  p.local[kArmLowerR] = euler(0.22 + 0.18 * a * (0.5 + 0.5 * s), 0, 0);
  p.local[kHandL] = euler(0.1, 0, 0.05);
  p.local[kHandR] = euler(0.1, 0, -0.05);
}

// The pose at the end of the runway: weight on the right leg, left hand on the hip,
// head turned to the audience, breathing a little.
void end_pose(Pose& p, double f) {
  using namespace dancer;
  double b = 0.5 + 0.5 * std::sin(f * 0.35);
  p.local[kHip] = euler(0, -0.15, 0.07);
  p.local[kChest] = euler(0.02 * b, 0.2, -0.08);
  p.local[kNeck] = euler(0, 0.05, 0.02);
  p.local[kHead] = euler(-0.05, -0.15, 0.08);
  p.local[kLegUpperL] = euler(0.22, -0.1, 0.05);
  p.local[kLegLowerL] = euler(-0.35, 0, 0);
  p.local[kFotL] = euler(0.1, 0, 0);
  p.local[kLegUpperR] = euler(-0.02, 0, -0.06);
  p.local[kLegLowerR] = euler(-0.04, 0, 0);
  p.local[kFotR] = euler(0.05, 0, 0.06);
  p.local[kArmUpperL] = euler(-0.3, 0, 0.65);
  p.local[kArmLowerL] = euler(1.5, 0, 0);
  p.local[kHandL] = euler(0.1, 0, 0.3);
  p.local[kArmUpperR] = euler(0.08 * b, 0, -0.12);
  p.local[kArmLowerR] = euler(0.25, 0, 0);
  p.local[kHandR] = euler(0.1, 0, -0.1);
}

Pose blend(const Pose& a, const Pose& b, double t) {
  Pose r = a;
  for (int i = 0; i < dancer::kParts; ++i)
    for (int k = 0; k < 16; ++k)
      r.local[i].m[k] = a.local[i].m[k] + (b.local[i].m[k] - a.local[i].m[k]) * t;
  // A blend of two rotations is not quite a rotation: straighten it again.
  for (auto& m : r.local) {
    V3 x = normalise(m.row(0));
    V3 y = normalise(m.row(1) - x * dot(m.row(1), x));
    m.set_row(0, x), m.set_row(1, y), m.set_row(2, cross(x, y));
  }
  r.root = lerp(a.root, b.root, t);
  return r;
}

MotionFrames walk() {
  MotionFrames out;
  for (int f = 0; f <= 120; ++f) {
    double dist = walk_distance(f);
    double a = walk_speed(f) / walk_speed(0);
    Pose w;
    gait(w, 2 * kPi * dist / kStride, a);
    Pose e;
    end_pose(e, f);
    Pose p = blend(w, e, smoothstep(kStopBegin + 6, kStopEnd + 14, f));
    p.root = {0, 95, walk_z(f)};
    out.push_back(dancer::place(p, true));
  }
  return out;
}

// A dance: every movement is a whole number of cycles over the loop, so the last frame
// equals the first and the motion loops without a seam.
struct Dance {
  int period;     // frames in the loop
  double beats;   // bounces over the loop
  double arms;    // arm swing
  double turn;    // total hip turn over the loop (whole turns keep the loop closed)
  double sway;    // side sway
  int arm_style;  // 0 pumping, 1 waves, 2 overhead claps
};

MotionFrames dance(const Dance& d) {
  using namespace dancer;
  MotionFrames out;
  for (int f = 0; f <= d.period; ++f) {
    double th = 2 * kPi * f / d.period;
    double bt = th * d.beats;
    double sw = th * d.beats * 0.5;
    Pose p;
    double bounce = 0.5 - 0.5 * std::cos(bt);
    double yaw = d.turn * 2 * kPi * f / d.period + 0.35 * std::sin(th * 2);
    p.local[kHip] = euler(0.05 * bounce, yaw, d.sway * std::sin(sw));
    p.local[kChest] = euler(0.06 * bounce, 0.25 * std::sin(sw), -0.6 * d.sway * std::sin(sw));
    p.local[kNeck] = euler(0.05 * std::sin(bt), 0, 0);
    p.local[kHead] = euler(0.1 * std::sin(bt + 0.6), 0.25 * std::sin(th * 2), 0.08 * std::sin(sw));
    double kl = 0.15 + 0.35 * bounce * (0.6 + 0.4 * std::sin(sw));
    double kr = 0.15 + 0.35 * bounce * (0.6 - 0.4 * std::sin(sw));
    p.local[kLegUpperL] = euler(kl * 0.6, -0.15, 0.12 + 0.08 * std::sin(sw));
    p.local[kLegUpperR] = euler(kr * 0.6, 0.15, -0.12 + 0.08 * std::sin(sw));
    p.local[kLegLowerL] = euler(-kl * 1.2, 0, 0);
    p.local[kLegLowerR] = euler(-kr * 1.2, 0, 0);
    p.local[kFotL] = euler(0.6 * kl, 0, -0.12);
    p.local[kFotR] = euler(0.6 * kr, 0, 0.12);
    double a = d.arms;
    switch (d.arm_style) {
      case 0:  // pumping fists, elbows bent
        p.local[kArmUpperL] = euler(0.5 + a * 0.4 * std::sin(bt), 0, 0.35 + 0.15 * std::sin(sw));
        p.local[kArmUpperR] = euler(0.5 - a * 0.4 * std::sin(bt), 0, -0.35 + 0.15 * std::sin(sw));
        p.local[kArmLowerL] = euler(1.2 + 0.2 * std::sin(bt + 2), 0, 0);
        p.local[kArmLowerR] = euler(1.2 - 0.2 * std::sin(bt + 2), 0, 0);
        break;
      case 1:  // waves out to the sides
        p.local[kArmUpperL] = euler(0.2 * std::sin(bt), 0, 0.9 + a * 0.6 * std::sin(sw));
        p.local[kArmUpperR] = euler(-0.2 * std::sin(bt), 0, -0.9 + a * 0.6 * std::sin(sw));
        p.local[kArmLowerL] = euler(0, 0, 0.4 * std::sin(sw + 1.2));
        p.local[kArmLowerR] = euler(0, 0, 0.4 * std::sin(sw + 1.2));
        break;
      default:  // up over the head and down again
        p.local[kArmUpperL] = euler(0.3, 0, 1.2 + a * 0.9 * std::sin(sw));
        p.local[kArmUpperR] = euler(0.3, 0, -1.2 - a * 0.9 * std::sin(sw));
        p.local[kArmLowerL] = euler(0.4 + 0.3 * bounce, 0, 0.3);
        p.local[kArmLowerR] = euler(0.4 + 0.3 * bounce, 0, -0.3);
        break;
    }
    p.local[kHandL] = euler(0.12 * std::sin(bt), 0, 0.1);
    p.local[kHandR] = euler(0.12 * std::sin(bt), 0, -0.1);
    p.root = {3 * std::sin(sw), 95, 4 * std::sin(th * 2)};
    out.push_back(dancer::place(p, true));
  }
  return out;
}

void put_f32(std::vector<uint8_t>& b, double d) {
  float f = static_cast<float>(d);
  uint8_t x[4];
  std::memcpy(x, &f, 4);
  b.insert(b.end(), x, x + 4);
}
void put_i32(std::vector<uint8_t>& b, int32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

}  // namespace

double walk_z(double f) {
  return kWalkStart - walk_distance(f);
}

MotionFrames motion(int number) {
  switch (number) {
    case 1:
      return walk();
    // Played at 22.5 frames a second: 16 s loop, two bounces a second.
    case 2:
      return dance({360, 32, 1.0, 1, 0.10, 1});
    // Played at 7.5 frames a second from here on.
    case 3:
      return dance({48, 4, 0.8, 0, 0.12, 0});
    case 4:
      return dance({96, 12, 0.9, 1, 0.10, 2});
    case 5:
      return dance({120, 14, 0.8, 1, 0.12, 1});
    case 6:
      return dance({120, 10, 1.0, -1, 0.14, 0});
    default:
      return {};
  }
}

std::vector<uint8_t> qub_bytes(const MotionFrames& frames) {
  std::vector<uint8_t> b;
  // The magic's Å is the Latin-1 byte 0xC5, written as a byte, never as UTF-8.
  const char* magic_a = "QUB SL";
  const char* magic_b = "R TIL IGJEN MED NOK ET KULT PROGRAM OG NOK EN KUL HEADER";
  for (const char* c = magic_a; *c; ++c) b.push_back(static_cast<uint8_t>(*c));
  b.push_back(0xC5);
  for (const char* c = magic_b; *c; ++c) b.push_back(static_cast<uint8_t>(*c));
  b.resize(64, 0);
  put_i32(b, dancer::kParts);
  for (int p = 0; p < dancer::kParts; ++p) {
    for (const char* c = dancer::info(p).name; *c; ++c) b.push_back(static_cast<uint8_t>(*c));
    b.push_back(0);
    put_i32(b, static_cast<int32_t>(frames.size() * 12));
    // Rows 0, 2, 1, 3 of the engine matrix with columns 0, 2, 1: the file is z up.
    for (const auto& pl : frames) {
      M4 m = swap_yz(pl[p]);
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) put_f32(b, m.m[r * 4 + c]);
    }
  }
  return b;
}

void make_motions(Forge& f) {
  for (int n = 1; n <= 6; ++n) {
    const char* const names[] = {data_file::kMotion01, data_file::kMotion02, data_file::kMotion03,
                                 data_file::kMotion04, data_file::kMotion05, data_file::kMotion06};
    f.write(names[n - 1], qub_bytes(motion(n)));
  }
}

}  // namespace forge
