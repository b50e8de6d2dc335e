// The box World (the dancer built of boxes on a platform among floating cubes) and the
// dance World (the dancer on a mirror floor in a stone hall).
#include "forge_3d.h"

namespace forge {

w3ds::Scene box_world() {
  w3ds::Scene s;
  s.last_frame = 300;
  dancer::add_meshes(s, dancer::Style::kBoxes);
  // Platform and floating cubes in the default material (the show gives it the cube
  // texture).
  w3ds::Mesh set;
  set.name = "Platform";
  MeshBuilder b{set};
  b.box({-150, -30, -150}, {150, 0, 150}, -1, 150);
  const V3 cubes[] = {{-230, 60, 120},  {210, 150, 160}, {-160, 230, 260}, {250, 20, -80},
                      {-260, 180, -60}, {120, 280, 300}, {0, 330, 250},    {-90, -80, -220}};
  const double sizes[] = {50, 40, 60, 35, 45, 55, 40, 50};
  for (int i = 0; i < 8; ++i) {
    V3 h{sizes[i] / 2, sizes[i] / 2, sizes[i] / 2};
    b.box(cubes[i] - h, cubes[i] + h, -1, 0);
  }
  s.meshes.push_back(std::move(set));
  // The engine lights a face seen by the camera from its far side: a light behind the
  // figure and below the floor lights her front and the platform's top.
  s.lights.push_back(light("Light01", {150, -400, 600}, {0.45, 0.42, 0.38}));

  s.cameras.push_back(camera("Camera01", {{0, {-230, 60, -260}, {0, 95, 0}, 55},
                                          {35, {-20, 120, -330}, {0, 95, 0}, 55},
                                          {67, {210, 170, -250}, {0, 90, 0}, 55},
                                          {300, {260, 200, -150}, {0, 90, 0}, 55}}));
  std::vector<Shot> c1;
  for (int k = 0; k <= 300; k += 20) {
    double a = kPi * (-0.35 + 0.7 * k / 300.0);
    c1.push_back(
        {k, {320 * std::sin(a), 120 + 30 * std::sin(4 * a), -320 * std::cos(a)}, {0, 90, 0}, 50});
  }
  s.cameras.push_back(camera("Camera02", c1));
  std::vector<Shot> c2;
  for (int k = 0; k <= 300; k += 30) {
    double a = kPi * (0.2 - 0.9 * k / 300.0);
    double r = 380 - 120.0 * k / 300.0;
    c2.push_back({k, {r * std::sin(a), 420 - 260.0 * k / 300.0, -r * std::cos(a)}, {0, 80, 0}, 55});
  }
  s.cameras.push_back(camera("Camera03", c2));
  return s;
}

w3ds::Scene dance_world() {
  w3ds::Scene s;
  s.last_frame = 360;
  dancer::add_meshes(s, dancer::Style::kRounded);
  // The mirror: flat, its top at y = 0, placed without rotation.
  {
    w3ds::Mesh m;
    m.name = "DanceFloor";
    MeshBuilder b{m};
    b.quad({-250, 0, -250}, {500, 0, 0}, {0, 0, 500}, {0, 1, 0}, material(s, "dancefloor"), 8, 8, 4,
           4);
    s.meshes.push_back(std::move(m));
  }
  // The hall around it: floor a little lower, steps up to a stage at the back, stone
  // pillars at the corners, walls with a gradient.
  {
    w3ds::Mesh m;
    m.name = "Hall";
    MeshBuilder b{m};
    const int floor = material(s, "floor"), step = material(s, "step"),
              stone = material(s, "stone"), grad = material(s, "gradient");
    const double y = -2, in = 250, out = 700;
    b.quad({-out, y, -out}, {2 * out, 0, 0}, {0, 0, out - in}, {0, 1, 0}, floor, 4, 2, 6, 2);
    b.quad({-out, y, in}, {2 * out, 0, 0}, {0, 0, out - in}, {0, 1, 0}, floor, 4, 2, 6, 2);
    b.quad({-out, y, -in}, {out - in, 0, 0}, {0, 0, 2 * in}, {0, 1, 0}, floor, 2, 2, 2, 2);
    b.quad({in, y, -in}, {out - in, 0, 0}, {0, 0, 2 * in}, {0, 1, 0}, floor, 2, 2, 2, 2);
    for (int k = 0; k < 3; ++k)
      b.box({-220.0 + 30 * k, y, 320.0 + 40 * k}, {220.0 - 30 * k, y + 18 * (k + 1), 700}, step, 60,
            false, false);
    for (double x : {-320.0, 320.0})
      for (double z : {-320.0, 320.0})
        b.box({x - 22, y, z - 22}, {x + 22, 320, z + 22}, stone, 60, false, false);
    // Walls seen from inside the hall.
    b.quad({-out, y, out}, {2 * out, 0, 0}, {0, 460, 0}, {0, 0, -1}, grad, 4, 3, 1, 1);
    b.quad({-out, y, -out}, {0, 0, 2 * out}, {0, 460, 0}, {1, 0, 0}, grad, 4, 3, 1, 1);
    b.quad({out, y, -out}, {0, 0, 2 * out}, {0, 460, 0}, {-1, 0, 0}, grad, 4, 3, 1, 1);
    b.quad({-out, y, -out}, {2 * out, 0, 0}, {0, 460, 0}, {0, 0, 1}, grad, 4, 3, 1, 1);
    s.meshes.push_back(std::move(m));
  }
  // Camera 0 runs without a cut over its first 315 keyframes: a slow arc that closes in.
  std::vector<Shot> c0;
  for (int k = 0; k <= 360; k += 30) {
    double t = k / 360.0;
    double a = kPi * (-0.2 + 0.55 * t);
    double r = 330 - 110 * t;
    c0.push_back({k, {r * std::sin(a), 190 - 70 * t, -r * std::cos(a)}, {0, 80 + 10 * t, 0}, 50});
  }
  s.cameras.push_back(camera("Camera01", c0));
  s.cameras.push_back(camera("Camera02", {{0, {-280, 60, -170}, {0, 90, 0}, 50},
                                          {110, {-90, 150, -280}, {0, 80, 0}, 50},
                                          {220, {130, 100, -260}, {0, 85, 0}, 50},
                                          {337, {280, 70, -120}, {0, 90, 0}, 50},
                                          {360, {290, 70, -100}, {0, 90, 0}, 50}}));
  std::vector<Shot> c2;
  for (int k = 0; k <= 360; k += 40) {
    double a = kPi * 0.5 * k / 360.0;
    c2.push_back({k, {-260 * std::sin(a), 480, -260 * std::cos(a)}, {0, 0, 0}, 60});
  }
  s.cameras.push_back(camera("Camera03", c2));
  return s;
}

}  // namespace forge
