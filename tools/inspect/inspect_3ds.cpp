// The .3ds side of tidalhall-inspect: the World exactly as the loader leaves it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/kelp.h"
#include "inspect.h"

// Provided by the renderer's part of the tool; absent from builds without it.
extern int inspect_render_png(World& world, const std::string& out, int frame, int camera)
    __attribute__((weak));

namespace {

struct Options {
  const char* png = nullptr;
  int frame = 0;
  int camera = 0;
  bool camera_given = false;
};

bool parse_int(const char* s, int* out) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(s, &end, 10);
  if (errno || end == s || *end || v < -1000000000L || v > 1000000000L) return false;
  *out = static_cast<int>(v);
  return true;
}

// Returns 0, or 2 after a one-line message for a command line it cannot use.
int parse(int argc, char** argv, Options* o) {
  for (int i = 2; i < argc; ++i) {
    const char* a = argv[i];
    const bool takes_value =
        !std::strcmp(a, "--png") || !std::strcmp(a, "--frame") || !std::strcmp(a, "--camera");
    if (!takes_value) {
      std::fprintf(stderr, "tidalhall-inspect: unknown option %s (see --help)\n", a);
      return 2;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "tidalhall-inspect: %s needs a value (see --help)\n", a);
      return 2;
    }
    const char* v = argv[++i];
    if (!std::strcmp(a, "--png")) {
      o->png = v;
    } else if (!std::strcmp(a, "--frame")) {
      if (!parse_int(v, &o->frame)) {
        std::fprintf(stderr, "tidalhall-inspect: --frame wants a whole number, not %s\n", v);
        return 2;
      }
    } else {
      if (!parse_int(v, &o->camera) || o->camera < 0) {
        std::fprintf(stderr, "tidalhall-inspect: --camera wants a camera index, not %s\n", v);
        return 2;
      }
      o->camera_given = true;
    }
  }
  return 0;
}

// Prints -0 as 0: the swap and the scale can leave negative zeros that mean nothing.
double num(float v) {
  return v == 0.0f ? 0.0 : double(v);
}

int file_id(int stored) {
  return stored == -1 ? -1 : stored - 1;
}

const char* node_name(const World& w, const Node* n) {
  switch (n->owner_kind) {
    case kOwnerMesh:
      return static_cast<const Mesh*>(n->owner)->name;
    case kOwnerCamera:
      return static_cast<const Camera*>(n->owner)->name;
    case kOwnerLight:
      return static_cast<const Light*>(n->owner)->name;
    default:
      break;
  }
  for (int i = 0; i < w.dummy_count; ++i) {
    if (&w.dummies[i].node == n) {
      return w.dummies[i].instance_name[0] ? w.dummies[i].instance_name : "$$$DUMMY";
    }
  }
  return "";
}

void print_world(const World& w) {
  std::printf(
      "world: meshes %d vertices %d faces %d materials %d lights %d cameras %d dummies %d "
      "frames %d..%d\n",
      w.mesh_count, w.vertex_count, w.face_count, w.material_count - 1, w.light_count,
      w.camera_count, w.dummy_count, w.first_frame, w.last_frame);
  for (int i = 0; i < w.mesh_count; ++i) {
    const Mesh& m = w.meshes[i];
    std::printf("mesh \"%s\" vertices %d faces %d mapping %s\n", m.name, m.vertex_count,
                m.face_count, m.has_mapping ? "yes" : "no");
  }
  // Material 0 is the engine's own default, not part of the file.
  for (int i = 1; i < w.material_count; ++i) std::printf("material \"%s\"\n", w.materials[i].name);
  for (int i = 0; i < w.camera_count; ++i) {
    const Camera& c = w.cameras[i];
    std::printf("camera \"%s\" position %g %g %g target %g %g %g roll %g lens %g\n", c.name,
                num(c.position.x), num(c.position.y), num(c.position.z), num(c.target.x),
                num(c.target.y), num(c.target.z), num(c.roll), num(c.lens));
  }
  for (int i = 0; i < w.light_count; ++i) {
    const Light& l = w.lights[i];
    std::printf("light \"%s\" position %g %g %g colour %g %g %g\n", l.name, num(l.position.x),
                num(l.position.y), num(l.position.z), num(l.r), num(l.g), num(l.b));
  }
  for (int i = 0; i < w.node_count; ++i) {
    const Node* n = w.node_list[i];
    if (n->id == 0) continue;  // no keyframer block named it
    std::string tracks;
    auto add = [&](int present, const char* what) {
      if (!present) return;
      tracks += tracks.empty() ? "" : " ";
      tracks += what;
    };
    add(n->position_present, "position");
    add(n->rotation_present, "rotation");
    add(n->scale_present, "scale");
    add(n->colour_present, "colour");
    add(n->fov_present, "fov");
    add(n->roll_present, "roll");
    std::printf("node %d parent %d \"%s\" tracks %s\n", file_id(n->id), file_id(n->parent_id),
                node_name(w, n), tracks.empty() ? "none" : tracks.c_str());
  }
}

}  // namespace

int inspect_3ds(const std::string& path, int argc, char** argv) {
  Options o;
  if (const int bad = parse(argc, argv, &o)) return bad;
  auto world = std::make_unique<World>();
  struct Release {
    World* w;
    ~Release() { world_free(w); }
  } release{world.get()};
  load_3ds_set_log(nullptr);  // one fact a line: the prescale debug print stays out
  if (!load_3ds(world.get(), path.c_str(), 1.0f) || !world_link_nodes(world.get())) {
    std::printf("RARA: %s: out of memory\n", path.c_str());
    return 1;
  }
  // Camera 0 of a World without cameras is the framing view.
  if (o.camera_given && o.camera >= world->camera_count &&
      !(world->camera_count == 0 && o.camera == 0)) {
    std::fprintf(stderr, "tidalhall-inspect: %s has %d camera(s), no camera %d\n", path.c_str(),
                 world->camera_count, o.camera);
    return 2;
  }
  print_world(*world);
  if (!o.png) return 0;
  if (!inspect_render_png) {
    std::fprintf(stderr, "tidalhall-inspect: rendering not available\n");
    return 1;
  }
  return inspect_render_png(*world, o.png, o.frame, o.camera);
}
