// The start-up's asset preparation: every World, texture, picture and table the scenes
// use, loaded and bound once before the display starts, and checked for what the scenes
// will assume of them, so a data set that does not fit stops here with one line instead of
// reading past a buffer later.
#include <chrono>
#include <cstdio>

#include "assets/data_files.h"
#include "assets/image.h"
#include "assets/motion.h"
#include "host/host.h"
#include "kernels/kernels.h"
#include "platform/exit.h"
#include "platform/options.h"
#include "scenes/scenes.h"
#include "scenes/show.h"
#include "sequencer/sequencer.h"

namespace {

namespace df = data_file;

// Flag words of the materials (they select the rasterizer).
constexpr int kSilhouetteFlags = -1;  // every bit: colour 0, no depth test
constexpr int kTextured = 0x200;      // perspective, plain texel
constexpr int kTexturedLit = 0x302;   // perspective, lit per channel
constexpr int kTexturedFlat = 0x300;

// The metaball World's tables: the largest surface the scene builds fits them.
constexpr int kMetaballVertices = 5000;
constexpr int kMetaballFaces = 5000;
// The screen View's draw list: room for the faces any one World shows at once, and beside
// the cube (drawn in the same list) every base face of the largest metaball surface.
constexpr int kScreenWorldFaces = 3000;
constexpr int kScreenFaces = kScreenWorldFaces + kMetaballFaces;

double prepare_seconds = 0.0;

[[noreturn]] void refuse(const char* what) {
  std::printf("%s\n", what);
  platform::process_exit(1);
}

[[noreturn]] void refuse_size(const char* name, int w, int h, int want_w, int want_h) {
  char line[256];
  if (want_h > 0)
    std::snprintf(line, sizeof line, "%s is %d x %d, the show needs %d x %d", name, w, h, want_w,
                  want_h);
  else
    std::snprintf(line, sizeof line, "%s is %d pixels wide, the show needs %d", name, w, want_w);
  refuse(line);
}

ImagePtr texture(const char* name) {
  ImagePtr img = load_texture(name);
  if (!img) {
    std::printf("%s: out of memory\n", name);
    platform::process_exit(1);
  }
  return img;
}

ImagePtr picture(const char* name) {
  ImagePtr img = load_image(name);
  if (!img) {
    std::printf("%s: out of memory\n", name);
    platform::process_exit(1);
  }
  return img;
}

// A texture the scenes index with fixed sides (AND 255, a 256 x 256 buffer).
ImagePtr texture_sized(const char* name, int w, int h) {
  ImagePtr img = texture(name);
  if (img->width != w || img->height != h) refuse_size(name, img->width, img->height, w, h);
  return img;
}

// A picture a full-frame operation reads 76,800 pixels of.
ImagePtr frame_picture(const char* name) {
  ImagePtr img = picture(name);
  if (img->width != kFrameWidth || img->height != kFrameHeight)
    refuse_size(name, img->width, img->height, kFrameWidth, kFrameHeight);
  return img;
}

// Probes a file's stored size without decoding it (a missing file ends with the reader's
// message, as any load would).
void probe_size(const char* name, int want_w, int want_h) {
  read_image_file(name, nullptr);
  const int w = image_width, h = image_height;
  if (w != want_w || (want_h > 0 && h != want_h)) refuse_size(name, w, h, want_w, want_h);
}

void load_world(World* world, const char* name) {
  if (!load_3ds(world, name, 1.0f)) {
    std::printf("%s: out of memory\n", name);
    platform::process_exit(1);
  }
  world_link_nodes(world);
}

// The cameras, lights and meshes a scene indexes must be there.
void require(const World& w, const char* name, int cameras, int lights, int meshes) {
  char line[256];
  if (w.camera_count < cameras) {
    std::snprintf(line, sizeof line, "%s has %d cameras, the show needs %d", name, w.camera_count,
                  cameras);
    refuse(line);
  }
  if (w.light_count < lights) {
    std::snprintf(line, sizeof line, "%s has %d lights, the show needs %d", name, w.light_count,
                  lights);
    refuse(line);
  }
  if (w.mesh_count < meshes) {
    std::snprintf(line, sizeof line, "%s has %d meshes, the show needs %d", name, w.mesh_count,
                  meshes);
    refuse(line);
  }
}

void require_mesh(World& w, const char* world_name, const char* mesh) {
  if (world_find_mesh(&w, mesh)) return;
  char line[256];
  std::snprintf(line, sizeof line, "%s has no mesh \"%s\"", world_name, mesh);
  refuse(line);
}

void bind(World& w, const char* material, const Image& img, int flags) {
  world_bind_texture(&w, material, img.pixels, flags, 0, img.size_code);
}

void bind_white(World& w, const char* material, const Image& img, int flags) {
  bind(w, material, img, flags);
  world_set_material_colour(&w, material, 1.0f, 1.0f, 1.0f, 0.0f);
}

// The dancer's own materials in the dance and box Worlds (the catwalk's, loaded one by
// one, also turn white).
void bind_dancer(World& w, Show& s) {
  const struct {
    const char* material;
    const Image& img;
  } parts[] = {{"face", *s.face},
               {"black", *s.black},
               {"hair", *s.black},
               {"skin", *s.skin},
               {"ArmGlove", *s.arm_glove},
               {"ChestFront", *s.chest_front},
               {"ChestBack", *s.chest_back},
               {"HipFront", *s.hip_front},
               {"HipBack", *s.hip_back}};
  for (const auto& p : parts) bind(w, p.material, p.img, kTextured);
}

void make_views(Show& s) {
  if (!view_init(&s.screen_view, kScreenFaces, kFrameWidth, kFrameHeight) ||
      !view_init(&s.picture_view, 3000, 256, 256))
    refuse("out of memory for the views");
  view_set_fov(&s.screen_view, 60.0f);
  view_set_ambient(&s.screen_view, 0.25f, 0.25f, 0.25f);
  view_set_far_plane(&s.screen_view, 0);
}

// 200 frames of the catwalk dancer from Camera 0, drawn in colour 0 without depth into a
// picture of 0xFF bytes, each kept as one bit a pixel. It runs while the dancer's only
// bound material is the colour-0 one.
void record_silhouettes(Show& s) {
  View& v = s.screen_view;
  view_set_cull_mode(&v, 0);
  view_set_target(&v, kFramePitchBytes, s.silhouette_picture, s.depth);
  for (int i = 0; i < kSilhouetteFrames; ++i) {
    fill_words_plain(s.silhouette_picture, 0xFFFFFFFFu, kFrameBytes);
    const float frame = static_cast<float>(i);
    world_animate(&s.catwalk, frame);
    view_set_camera(&v, &s.catwalk.cameras[0]);
    world_reset_mesh_matrices(&s.catwalk);
    motion_apply(&s.catwalk, frame);
    world_draw_meshes(&s.catwalk, &v);
    view_render(&v);
    view_clear(&v);
    silhouette_record(s.silhouette_picture);
  }
}

}  // namespace

double prepare_assets_seconds() {
  return prepare_seconds;
}

void prepare_assets() {
  const auto began = std::chrono::steady_clock::now();
  show_reset();  // a second show in one process starts from nothing
  Show& s = show();

  // 1. Views.
  make_views(s);

  // 2. The catwalk World, the first motion, the face texture as the colour-0 material.
  load_world(&s.catwalk, df::kCatwalkWorld);
  require(s.catwalk, df::kCatwalkWorld, 6, 0, 1);
  motion_load(df::kMotion01);
  // The dancer scenes change the divisor as they load motions; a second show in one
  // process starts from the first motion's own rate as the first did.
  motion_time_divisor = 3.0f;
  s.face = texture(df::kFaceTexture);
  bind(s.catwalk, "kelp_defmat", *s.face, kSilhouetteFlags);

  // 3. The dancer's silhouettes, before any other binding.
  record_silhouettes(s);

  // 4. The catwalk's dancer materials.
  bind_white(s.catwalk, "kelp_defmat", *s.face, kTextured);
  bind_white(s.catwalk, "face", *s.face, kTextured);
  s.black = texture(df::kBlackTexture);
  bind_white(s.catwalk, "black", *s.black, kTextured);
  bind_white(s.catwalk, "hair", *s.black, kTextured);
  s.skin = texture(df::kSkinTexture);
  bind_white(s.catwalk, "skin", *s.skin, kTextured);
  s.arm_glove = texture(df::kArmGloveTexture);
  bind_white(s.catwalk, "ArmGlove", *s.arm_glove, kTextured);
  s.chest_front = texture(df::kChestFrontTexture);
  bind_white(s.catwalk, "ChestFront", *s.chest_front, kTextured);
  s.chest_back = texture(df::kChestBackTexture);
  bind_white(s.catwalk, "ChestBack", *s.chest_back, kTextured);
  s.hip_front = texture(df::kHipFrontTexture);
  bind_white(s.catwalk, "HipFront", *s.hip_front, kTextured);
  s.hip_back = texture(df::kHipBackTexture);
  bind_white(s.catwalk, "HipBack", *s.hip_back, kTextured);

  // 5. Mirrored body parts: their normals point the other way.
  for (const char* name : {"Hand_R", "ArmLower_R", "ArmUpper_R", "Neck", "Chest", "Fot_R",
                           "LegLower_R", "LegUpper_R", "Hip"})
    if (Mesh* m = world_find_mesh(&s.catwalk, name)) mesh_negate_normals(m);

  // 6. The spotlight's light pattern.
  s.phong = texture_sized(df::kPhongTexture, 256, 256);
  s.picture_view.picture = s.phong->pixels;

  // 7. The cube.
  load_world(&s.cube, df::kCubeWorld);
  require(s.cube, df::kCubeWorld, 0, 2, 1);
  s.cube_texture = texture(df::kCubeTexture);
  bind_white(s.cube, "kelp_defmat", *s.cube_texture, kTexturedFlat);
  bind_white(s.cube, "MATERIAL #1", *s.cube_texture, kTexturedFlat);

  // 8. Textures of the warps and the metaballs; the warps wrap them by AND 255.
  s.blob = texture_sized(df::kBlobTexture, 256, 256);
  s.meta[0] = texture_sized(df::kMeta1Texture, 256, 256);
  s.meta[1] = texture_sized(df::kMeta2Texture, 256, 256);
  s.meta[2] = texture(df::kMeta3Texture);
  s.meta[3] = texture(df::kMeta4Texture);

  // 9. The metaball World, built empty: the surface is made each frame.
  if (!world_init(&s.metaball, kMetaballVertices, kMetaballFaces, 1, 3, 2, 1))
    refuse("out of memory for the metaballs");
  if (s.cube.face_count > kScreenWorldFaces) {
    char line[256];
    std::snprintf(line, sizeof line, "%s has %d faces, the show needs at most %d", df::kCubeWorld,
                  s.cube.face_count, kScreenWorldFaces);
    refuse(line);
  }
  for (const char* name : {"mat0g", "mat0a", "mat1g", "mat1a", "mat2g", "mat2a", "mat3g", "mat3a"})
    world_add_material(&s.metaball, name);
  bind(s.metaball, "kelp_defmat", *s.meta[0], 0x200);
  for (int i = 0; i < 4; ++i) {
    char g[8], a[8];
    std::snprintf(g, sizeof g, "mat%dg", i);
    std::snprintf(a, sizeof a, "mat%da", i);
    bind(s.metaball, g, *s.meta[i], 0x204);  // shaded base surface
    bind(s.metaball, a, *s.meta[i], 0x220);  // additive overlay
  }

  // 10. More warp textures and the full-frame pictures.
  s.qub = texture_sized(df::kQubTexture, 256, 256);
  s.double_picture = frame_picture(df::kDoublePicture);
  s.blue_picture = frame_picture(df::kBluePicture);
  s.top_picture = frame_picture(df::kTopPicture);
  for (int i = 0; i < 4; ++i) s.titles[i] = frame_picture(df::kTitles[i]);

  // 11. The city and its maps; the first map serves the default material too.
  load_world(&s.city, df::kCityWorld);
  require(s.city, df::kCityWorld, 5, 0, 1);
  s.city_maps.clear();
  for (int i = 0; i < df::kCityMapCount; ++i) {
    const df::CityMap& m = df::kCityMaps[i];
    s.city_maps.push_back(texture(m.file));
    if (i == 0) bind(s.city, "kelp_defmat", *s.city_maps.back(), m.flags);
    bind(s.city, m.material, *s.city_maps.back(), m.flags);
  }

  // 12. The turning object and its environment map.
  s.cmap = texture_sized(df::kCmapTexture, 256, 256);
  load_world(&s.object, df::kObjectWorld);
  require(s.object, df::kObjectWorld, 0, 2, 1);
  wobble_prepare(&s.object.meshes[0]);
  bind(s.object, "kelp_defmat", *s.cmap, 0x202);

  // 13. The dance floor World.
  load_world(&s.dance, df::kDanceWorld);
  require(s.dance, df::kDanceWorld, 2, 0, 1);
  require_mesh(s.dance, df::kDanceWorld, "DanceFloor");
  bind(s.dance, "kelp_defmat", *s.cmap, kTexturedFlat);
  bind_dancer(s.dance, s);
  // Each loaded and bound in turn, so a missing material is reported before a later file.
  s.gradient = texture(df::kGradientTexture);
  bind(s.dance, "gradient", *s.gradient, kTexturedFlat);
  s.floor = texture(df::kFloorTexture);
  bind(s.dance, "floor", *s.floor, kTexturedFlat);
  s.step = texture(df::kStepTexture);
  bind(s.dance, "step", *s.step, kTexturedFlat);
  s.dance_floor = texture(df::kDanceFloorTexture);
  bind(s.dance, "dancefloor", *s.dance_floor, kTexturedFlat);
  s.stone = texture(df::kStoneTexture);
  bind(s.dance, "stone", *s.stone, kTexturedFlat);
  world_add_material(&s.dance, "mymat");
  bind(s.dance, "mymat", *s.dance_floor, 0x360);  // the mirror: half-transparent floor
  world_set_material_colour(&s.dance, "mymat", 1.0f, 1.0f, 1.0f, 0.7f);

  // 14. The flower sprites' texture; the rotated sprite reads 64 x 64 texels of it.
  s.flower = texture_sized(df::kFlowerTexture, 64, 64);

  // 15. The catwalk itself.
  s.cat_side = texture(df::kCatSideTexture);
  bind(s.catwalk, "Cat_Side", *s.cat_side, kTextured);
  s.gold = texture(df::kGoldTexture);
  bind(s.catwalk, "Gold", *s.gold, kTextured);
  s.pole = texture(df::kPoleTexture);
  bind(s.catwalk, "Pole", *s.pole, kTextured);
  s.rope = texture(df::kRopeTexture);
  bind(s.catwalk, "Rope", *s.rope, kTextured);
  s.cat_floor = texture(df::kCatFloorTexture);
  bind(s.catwalk, "Cat_Floor", *s.cat_floor, kTextured);
  s.vog = texture(df::kVogTexture);
  bind(s.catwalk, "Vog", *s.vog, kTextured);

  // 16. Portraits, face layers, captions, the logo and the card.
  s.portrait1 = frame_picture(df::kPortrait1);
  s.portrait2 = frame_picture(df::kPortrait2);
  s.face_back = frame_picture(df::kFaceBackPicture);
  s.face_front = frame_picture(df::kFaceFrontPicture);
  s.logo = picture(df::kLogoPicture);
  for (int i = 0; i < 5; ++i) s.captions[i] = picture(df::kCaptions[i]);
  s.card = frame_picture(df::kCardPicture);

  // 17. The box dancer.
  load_world(&s.box, df::kBoxWorld);
  require(s.box, df::kBoxWorld, 3, 0, 1);
  bind(s.box, "kelp_defmat", *s.cube_texture, kTexturedFlat);
  bind_dancer(s.box, s);

  // Files a scene reads on its first frame, or a table reads into a fixed buffer: their
  // sizes are checked now, so a wrong one cannot end the show half-way.
  probe_size(df::kLightTexture, 128, 128);
  probe_size(df::kSpritePicture, 256, 256);
  probe_size(df::kScroll1Picture, kFrameWidth, 0);
  probe_size(df::kScroll2Picture, kFrameWidth, 0);

  // 18. The blend routines (SIMD unless --plain) and the product table.
  init_fades(kFrameWidth, kFrameHeight, platform::run_options().plain ? 1 : 0);

  // 19. The effect tables, in this order: the flares, the sprites, the warps, the morph's
  // row offsets. Each joins here as its kernel lands.
  flares_load();
  sprites_init();
  warp_tables_init();
  build_row_offsets();

  prepare_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}
