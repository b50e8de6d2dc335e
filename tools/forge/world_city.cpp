// The city: a grid of streets between blocks of buildings with billboards, two cars,
// and five cameras that fly through the streets.
#include <algorithm>

#include "forge_3d.h"

namespace forge {
namespace {

// Blocks of 140 units centred every 200 units; the streets between them are 60 wide,
// their centre lines at odd multiples of 100.
constexpr int kBlocks = 7;  // per side
constexpr double kPitch = 200, kBlock = 140;
constexpr double kExtent = kPitch * kBlocks / 2;  // the ground reaches this far

const char* const kFacades[] = {"building1",   "window2-building", "Material 36",  "Material #2",
                                "Material #6", "Material #5",      "Material #18", "Material #3",
                                "Material #4", "Material #8",      "Material 32",  "Material 33",
                                "Material 34"};
const char* const kBoards[] = {
    "Material #20", "Material #17", "Material #16", "Material #15", "Material #19", "Material #30",
    "Material #28", "Material #23", "Material #26", "Material #31", "Material #29", "Material #27",
    "Material #25", "Material #22", "Material #21", "Material #13", "Material #24", "Material #7",
    "Material #9",  "Material #10", "Material #11", "Material #12", "Material #14", "Material 30",
    "Material 31",  "Material 35"};

// A path through the street grid: a polyline of intersections with rounded corners,
// sampled by distance.
struct Route {
  std::vector<V3> pts;
  double corner = 35;
  double length() const {
    double l = 0;
    for (size_t i = 1; i < pts.size(); ++i) l += length_of(pts[i] - pts[i - 1]);
    return l;
  }
  static double length_of(V3 v) { return forge::length(v); }
  // The point at distance d along the polyline, corners cut by a quadratic arc.
  V3 at(double d) const {
    double acc = 0;
    for (size_t i = 1; i < pts.size(); ++i) {
      double seg = length_of(pts[i] - pts[i - 1]);
      if (d <= acc + seg || i + 1 == pts.size()) {
        double t = std::clamp((d - acc) / seg, 0.0, 1.0);
        V3 p = lerp(pts[i - 1], pts[i], t);
        // Blend into the next segment over the last `corner` units, and out of the
        // previous one over the first.
        double into = seg * (1 - t), from = seg * t;
        if (i + 1 < pts.size() && into < corner) {
          double k = 0.5 * (1 - into / corner);
          V3 a = pts[i] + normalise(pts[i - 1] - pts[i]) * corner;
          V3 b = pts[i] + normalise(pts[i + 1] - pts[i]) * corner;
          double s = k;  // 0 at the start of the arc, 0.5 at the corner
          V3 q = a * ((1 - s) * (1 - s)) + pts[i] * (2 * s * (1 - s)) + b * (s * s);
          return q;
        }
        if (i > 1 && from < corner) {
          double k = 0.5 + 0.5 * (from / corner);
          V3 a = pts[i - 1] + normalise(pts[i - 2] - pts[i - 1]) * corner;
          V3 b = pts[i - 1] + normalise(pts[i] - pts[i - 1]) * corner;
          double s = k;
          return a * ((1 - s) * (1 - s)) + pts[i - 1] * (2 * s * (1 - s)) + b * (s * s);
        }
        return p;
      }
      acc += seg;
    }
    return pts.back();
  }
};

// Keys every `step` frames along the route from frame 0 to `frames`, looking `ahead`
// units down the road.
std::vector<Shot> fly(const Route& r, int frames, int step, double ahead, double fov,
                      double (*height)(double t), double (*look_height)(double t) = nullptr) {
  std::vector<Shot> shots;
  const double len = r.length();
  for (int k = 0; k <= frames; k += step) {
    double t = static_cast<double>(k) / frames;
    double d = t * (len - ahead);
    V3 eye = r.at(d), look = r.at(d + ahead);
    eye.y = height(t);
    look.y = look_height ? look_height(t) : std::max(10.0, height(std::min(1.0, t + 0.05)) - 20);
    shots.push_back({k, eye, look, fov});
  }
  return shots;
}

void building(MeshBuilder& b, w3ds::Scene& s, V3 lo, V3 hi, const char* facade) {
  const int wall = material(s, facade), roof = material(s, "Material #1");
  V3 d = hi - lo;
  auto rep = [](double len) { return std::max(1.0, std::round(len / 60)); };
  b.quad(lo, {d.x, 0, 0}, {0, d.y, 0}, {0, 0, -1}, wall, 1, 1, rep(d.x), rep(d.y));
  b.quad({lo.x, lo.y, hi.z}, {d.x, 0, 0}, {0, d.y, 0}, {0, 0, 1}, wall, 1, 1, rep(d.x), rep(d.y));
  b.quad(lo, {0, 0, d.z}, {0, d.y, 0}, {-1, 0, 0}, wall, 1, 1, rep(d.z), rep(d.y));
  b.quad({hi.x, lo.y, lo.z}, {0, 0, d.z}, {0, d.y, 0}, {1, 0, 0}, wall, 1, 1, rep(d.z), rep(d.y));
  b.quad({lo.x, hi.y, lo.z}, {d.x, 0, 0}, {0, 0, d.z}, {0, 1, 0}, roof, 1, 1, 1, 1);
}

w3ds::Mesh car(const char* name, int mat, V3 at, bool along_x) {
  w3ds::Mesh m;
  m.name = name;
  MeshBuilder b{m};
  V3 body = along_x ? V3{22, 0, 10} : V3{10, 0, 22};
  V3 cab = along_x ? V3{12, 0, 9} : V3{9, 0, 12};
  b.box(at - V3{body.x, -3, body.z}, at + V3{body.x, 14, body.z}, mat, 0, false, false);
  b.box(at - V3{cab.x, -14, cab.z}, at + V3{cab.x, 24, cab.z}, mat, 0, false, false);
  m.matrix = translate(at);
  return m;
}

double low_height(double t) {
  return 55 + 20 * std::sin(kPi * t);
}
double rising(double t) {
  return 45 + 215 * smoothstep(0.5, 1.0, t);
}
double rising_look(double t) {
  return 35 - 60 * smoothstep(0.5, 1.0, t);
}
double mid_height(double t) {
  return 70 + 25 * std::sin(2 * kPi * t);
}
double high_height(double) {
  return 420;
}

}  // namespace

w3ds::Scene city_world(Rng rng) {
  w3ds::Scene s;
  s.last_frame = 400;
  // Every material the show binds, in its order, so each exists with its exact name.
  const char* const all[] = {
      "Material #18",     "Material #5",  "Material #2",  "Material #6",  "Material #20",
      "Material #8",      "Material #4",  "Material #17", "Material #16", "Material #15",
      "Material #19",     "Material #30", "Material #28", "Material #23", "Material #26",
      "Material #31",     "Material #29", "Material #27", "Material #25", "Material #22",
      "Material #21",     "Material #13", "Material #24", "Material #3",  "Material #7",
      "Material #1",      "Material #9",  "Material #10", "Material #11", "Material #12",
      "Material #14",     "Material #32", "CAR",          "CAR2",         "Material 36",
      "window2-building", "building1",    "Material 32",  "Material 33",  "Material 30",
      "Material 31",      "Material 34",  "Material 35"};
  for (const char* n : all) material(s, n);

  // The road: one sheet at y = 0, a map repeat per street pitch.
  {
    w3ds::Mesh m;
    m.name = "Road";
    MeshBuilder b{m};
    b.quad({-kExtent, 0, -kExtent}, {2 * kExtent, 0, 0}, {0, 0, 2 * kExtent}, {0, 1, 0},
           material(s, "Material #32"), kBlocks * 2, kBlocks * 2, kBlocks, kBlocks);
    s.meshes.push_back(std::move(m));
  }
  // Buildings: each block split into one, two or four houses of random height.
  {
    w3ds::Mesh m;
    m.name = "Buildings";
    MeshBuilder b{m};
    for (int bz = 0; bz < kBlocks; ++bz)
      for (int bx = 0; bx < kBlocks; ++bx) {
        double cx = (bx - kBlocks / 2) * kPitch, cz = (bz - kBlocks / 2) * kPitch;
        double h0 = kBlock / 2;
        int split = rng.range(0, 2);
        std::vector<std::pair<V3, V3>> lots;
        if (split == 0)
          lots.push_back({{cx - h0, 0, cz - h0}, {cx + h0, 0, cz + h0}});
        else if (split == 1) {
          lots.push_back({{cx - h0, 0, cz - h0}, {cx - 4, 0, cz + h0}});
          lots.push_back({{cx + 4, 0, cz - h0}, {cx + h0, 0, cz + h0}});
        } else {
          for (int q = 0; q < 4; ++q) {
            double x0 = q % 2 ? cx + 4 : cx - h0, z0 = q / 2 ? cz + 4 : cz - h0;
            lots.push_back({{x0, 0, z0}, {x0 + h0 - 4, 0, z0 + h0 - 4}});
          }
        }
        for (auto& [lo, hi] : lots) {
          hi.y = rng.uniform(90, 300);
          building(b, s, lo, hi, kFacades[rng.range(0, static_cast<int>(std::size(kFacades)) - 1)]);
        }
      }
    s.meshes.push_back(std::move(m));
  }
  // Billboards on the facades along the streets, every board material once or twice.
  {
    w3ds::Mesh m;
    m.name = "Billboards";
    MeshBuilder b{m};
    int n = 0;
    for (int bz = 0; bz < kBlocks; ++bz)
      for (int bx = 0; bx < kBlocks; ++bx) {
        double cx = (bx - kBlocks / 2) * kPitch, cz = (bz - kBlocks / 2) * kPitch;
        const int mat = material(s, kBoards[n++ % std::size(kBoards)]);
        double y0 = rng.uniform(30, 60), w = rng.uniform(50, 80), h = w * 0.6;
        int side = rng.range(0, 3);
        double e = kBlock / 2 + 1.5;  // just in front of the facade
        if (side == 0)
          b.quad({cx - w / 2, y0, cz - e}, {w, 0, 0}, {0, h, 0}, {0, 0, -1}, mat);
        else if (side == 1)
          b.quad({cx + w / 2, y0, cz + e}, {-w, 0, 0}, {0, h, 0}, {0, 0, 1}, mat);
        else if (side == 2)
          b.quad({cx - e, y0, cz + w / 2}, {0, 0, -w}, {0, h, 0}, {-1, 0, 0}, mat);
        else
          b.quad({cx + e, y0, cz - w / 2}, {0, 0, w}, {0, h, 0}, {1, 0, 0}, mat);
      }
    s.meshes.push_back(std::move(m));
  }
  // Two cars driving down two streets over the whole segment.
  {
    w3ds::Mesh a = car("Car1", material(s, "CAR"), {115, 0, -650}, false);
    a.position = {{{0}, {115, 0, -650}}, {{400}, {115, 0, 650}}};
    s.meshes.push_back(std::move(a));
    w3ds::Mesh b = car("Car2", material(s, "CAR2"), {650, 0, -85}, true);
    b.position = {{{0}, {650, 0, -85}}, {{400}, {-650, 0, -85}}};
    s.meshes.push_back(std::move(b));
  }
  // Lights by the engine's rule (a face is lit from behind, as seen from the eye): the
  // "sun" stands opposite the direction it shines from, a dim blue fill opposite that.
  s.lights.push_back(light("Sun", normalise({-0.5, -0.8, 0.35}) * 100000.0, {0.85, 0.75, 0.6}));
  s.lights.push_back(light("Fill", normalise({0.6, -0.3, -0.7}) * 100000.0, {0.25, 0.3, 0.45}));

  Route r0{{{-100, 0, -700},
            {-100, 0, 100},
            {300, 0, 100},
            {300, 0, -300},
            {-300, 0, -300},
            {-300, 0, 500},
            {100, 0, 500}}};
  s.cameras.push_back(camera("Camera01", fly(r0, 400, 10, 120, 60, low_height)));
  // Camera 1 runs down a long street, then rises over the roofs looking down the road.
  Route r1{{{-700, 0, -100}, {500, 0, -100}}};
  s.cameras.push_back(camera("Camera02", fly(r1, 140, 10, 150, 60, rising, rising_look)));
  std::vector<Shot> c2;
  for (int k = 0; k <= 400; k += 40) {
    double a = 2 * kPi * k / 400.0;
    c2.push_back({k, {500 * std::sin(a), high_height(0), -500 * std::cos(a)}, {0, 0, 0}, 60});
  }
  s.cameras.push_back(camera("Camera03", c2));
  Route r3{{{300, 0, 700}, {300, 0, -100}, {-500, 0, -100}}};
  s.cameras.push_back(camera("Camera04", fly(r3, 400, 20, 120, 60, mid_height)));
  Route r4{{{100, 0, 700}, {100, 0, -100}, {-300, 0, -100}, {-300, 0, -700}}};
  s.cameras.push_back(camera("Camera05", fly(r4, 100, 10, 120, 65, low_height)));
  return s;
}

}  // namespace forge
