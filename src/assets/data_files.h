// Every data file the show opens, by the show's own names (backslashes; the file layer turns
// them into '/'). The start-up, the scenes, the forge and the tests all name files through
// this one list, so a renamed file is a compile error rather than a black scene.
#pragma once

namespace data_file {

// Worlds.
inline constexpr char kCatwalkWorld[] = "3d\\catwalk.3ds";
inline constexpr char kCubeWorld[] = "3d\\cube2.3ds";
inline constexpr char kCityWorld[] = "3d2\\scene3.3ds";
inline constexpr char kObjectWorld[] = "3d\\dings.3ds";
inline constexpr char kDanceWorld[] = "3d3\\test.3ds";
inline constexpr char kBoxWorld[] = "3d\\box.3ds";

// Motions (the dancer's body parts), by number 01..06.
inline constexpr char kMotion01[] = "3d\\motion01.qub";
inline constexpr char kMotion02[] = "3d\\motion02.qub";
inline constexpr char kMotion03[] = "3d\\motion03.qub";
inline constexpr char kMotion04[] = "3d\\motion04.qub";
inline constexpr char kMotion05[] = "3d\\motion05.qub";
inline constexpr char kMotion06[] = "3d\\motion06.qub";

inline constexpr char kMorph[] = "data\\tovr.amf";
inline constexpr char kMusic[] = "music\\var56.mp3";

// Lens-flare bitmaps, raw 32-bit pixels, in the flare table's order.
inline constexpr const char* kFlares[9] = {
    "flares\\lenz1.raw", "flares\\lenz2.raw", "flares\\lenz3.raw",
    "flares\\lenz4.raw", "flares\\lenz5.raw", "flares\\lenz6.raw",
    "flares\\lenz7.raw", "flares\\lenz8.raw", "flares\\lenz9.raw"};

// Textures: the dancer.
inline constexpr char kFaceTexture[] = "textures\\face.jpg";
inline constexpr char kBlackTexture[] = "textures\\black.jpg";
inline constexpr char kSkinTexture[] = "textures\\skin.jpg";
inline constexpr char kArmGloveTexture[] = "textures\\armglove.jpg";
inline constexpr char kChestFrontTexture[] = "textures\\chestfnt.jpg";
inline constexpr char kChestBackTexture[] = "textures\\chestbck.jpg";
inline constexpr char kHipFrontTexture[] = "textures\\hipfront.jpg";
inline constexpr char kHipBackTexture[] = "textures\\hipback.jpg";
// The catwalk itself.
inline constexpr char kCatSideTexture[] = "textures\\cat_side.jpg";
inline constexpr char kGoldTexture[] = "textures\\gold.tga";
inline constexpr char kPoleTexture[] = "textures\\pole.tga";
inline constexpr char kRopeTexture[] = "textures\\rope.jpg";
inline constexpr char kCatFloorTexture[] = "textures\\cat_flr.jpg";
inline constexpr char kVogTexture[] = "textures\\vog.jpg";
// Light patterns and glows.
inline constexpr char kPhongTexture[] = "textures\\phong.jpg";  // 256 x 256 spot pattern
inline constexpr char kLightTexture[] = "textures\\light.jpg";  // 128 x 128 flare glow
// The cube, the metaballs, the warps.
inline constexpr char kCubeTexture[] = "textures\\cubetxt3.jpg";
inline constexpr char kBlobTexture[] = "textures\\blobtxt1.jpg";
inline constexpr char kMeta1Texture[] = "textures\\meta1.jpg";
inline constexpr char kMeta2Texture[] = "textures\\meta2.jpg";
inline constexpr char kMeta3Texture[] = "textures\\meta3.jpg";
inline constexpr char kMeta4Texture[] = "textures\\meta4.jpg";
inline constexpr char kQubTexture[] = "textures\\qub1.jpg";
inline constexpr char kCmapTexture[] = "textures\\cmap1.jpg";  // environment map
inline constexpr char kFlowerTexture[] = "textures\\flower1.pcx";
// The dance floor World.
inline constexpr char kGradientTexture[] = "3d3\\gradient.jpg";
inline constexpr char kFloorTexture[] = "3d3\\floor.jpg";
inline constexpr char kStepTexture[] = "3d3\\step.jpg";
inline constexpr char kDanceFloorTexture[] = "3d3\\danceflr.jpg";
inline constexpr char kStoneTexture[] = "3d3\\stone.jpg";

// Pictures (stored size).
inline constexpr char kDoublePicture[] = "gfx\\kdouble.jpg";
inline constexpr char kBluePicture[] = "gfx\\kblue.jpg";
inline constexpr char kTopPicture[] = "gfx\\ktopb.jpg";
inline constexpr const char* kTitles[4] = {"gfx\\title1.pcx", "gfx\\title2.pcx", "gfx\\title3.pcx",
                                           "gfx\\title4.pcx"};
inline constexpr char kPortrait1[] = "gfx\\tovr1.jpg";
inline constexpr char kPortrait2[] = "gfx\\tovr2.jpg";
inline constexpr char kFaceBackPicture[] = "gfx\\kfaceb.jpg";
inline constexpr char kFaceFrontPicture[] = "gfx\\kfacef.jpg";
inline constexpr char kLogoPicture[] = "gfx\\silence.pcx";
// The caption words, in the order of the caption rows' parameters.
inline constexpr const char* kCaptions[5] = {
    "gfx\\artwork.pcx", "gfx\\audio.pcx", "gfx\\control.pcx", "gfx\\objects.pcx", "gfx\\love.pcx"};
inline constexpr char kCardPicture[] = "gfx\\3da.jpg";
inline constexpr char kSpritePicture[] = "gfx\\sprite.jpg";  // 256 x 256 swarm source
inline constexpr char kScroll1Picture[] = "gfx\\scroll1.jpg";
inline constexpr char kScroll2Picture[] = "gfx\\scroll2.jpg";

// The city: every texture under 3d2\maps\, in load order, with the material it is bound to
// and its flag word. The first is bound twice ("kelp_defmat" too); "mistio.jpg" is loaded
// twice, each load its own copy.
struct CityMap {
  const char* file;
  const char* material;
  int flags;
};
inline constexpr CityMap kCityMaps[] = {
    {"3d2\\maps\\rust2.jpg", "Material #18", 0x302},
    {"3d2\\maps\\sf2.jpg", "Material #5", 0x302},
    {"3d2\\maps\\long1.jpg", "Material #2", 0x302},
    {"3d2\\maps\\loft31.jpg", "Material #6", 0x302},
    {"3d2\\maps\\maxel2.jpg", "Material #20", 0x302},
    {"3d2\\maps\\green.jpg", "Material #8", 0x302},
    {"3d2\\maps\\w.jpg", "Material #4", 0x302},
    {"3d2\\maps\\jptxt2.jpg", "Material #17", 0x302},
    {"3d2\\maps\\card.jpg", "Material #16", 0x302},
    {"3d2\\maps\\dydo.jpg", "Material #15", 0x302},
    {"3d2\\maps\\pioneer.jpg", "Material #19", 0x302},
    {"3d2\\maps\\chick1.jpg", "Material #30", 0x302},
    {"3d2\\maps\\sea2.jpg", "Material #28", 0x302},
    {"3d2\\maps\\jptxt3.jpg", "Material #23", 0x302},
    {"3d2\\maps\\orange.jpg", "Material #26", 0x302},
    {"3d2\\maps\\yamaha.jpg", "Material #31", 0x302},
    {"3d2\\maps\\chick2.jpg", "Material #29", 0x302},
    {"3d2\\maps\\mitsui.jpg", "Material #27", 0x302},
    {"3d2\\maps\\mistio.jpg", "Material #25", 0x302},
    {"3d2\\maps\\jptxt5.jpg", "Material #22", 0x302},
    {"3d2\\maps\\maxell.jpg", "Material #21", 0x302},
    {"3d2\\maps\\sea1.jpg", "Material #13", 0x302},
    {"3d2\\maps\\avex.jpg", "Material #24", 0x302},
    {"3d2\\maps\\rust3.jpg", "Material #3", 0x302},
    {"3d2\\maps\\pana.jpg", "Material #7", 0x302},
    {"3d2\\maps\\skur.jpg", "Material #1", 0x302},
    {"3d2\\maps\\jptxt4.jpg", "Material #9", 0x302},
    {"3d2\\maps\\jptxt1.jpg", "Material #10", 0x302},
    {"3d2\\maps\\olympus.jpg", "Material #11", 0x302},
    {"3d2\\maps\\lotte.jpg", "Material #12", 0x302},
    {"3d2\\maps\\lcard.jpg", "Material #14", 0x302},
    {"3d2\\maps\\road2.jpg", "Material #32", 0x302},
    {"3d2\\maps\\car1.jpg", "CAR", 0x200},
    {"3d2\\maps\\car2.jpg", "CAR2", 0x200},
    {"3d2\\maps\\window2.jpg", "Material 36", 0x302},
    {"3d2\\maps\\window3.jpg", "window2-building", 0x302},
    {"3d2\\maps\\window1.jpg", "building1", 0x302},
    {"3d2\\maps\\shi.jpg", "Material 32", 0x302},
    {"3d2\\maps\\25015.jpg", "Material 33", 0x302},
    {"3d2\\maps\\mistio.jpg", "Material 30", 0x302},
    {"3d2\\maps\\com.jpg", "Material 31", 0x302},
    {"3d2\\maps\\pelto.jpg", "Material 34", 0x302},
    {"3d2\\maps\\babe.jpg", "Material 35", 0x302},
};
inline constexpr int kCityMapCount = sizeof kCityMaps / sizeof kCityMaps[0];

// Every distinct file above: what a complete data set holds.
inline constexpr const char* kAll[] = {
    kCatwalkWorld,
    kCubeWorld,
    kCityWorld,
    kObjectWorld,
    kDanceWorld,
    kBoxWorld,
    kMotion01,
    kMotion02,
    kMotion03,
    kMotion04,
    kMotion05,
    kMotion06,
    kMorph,
    kMusic,
    kFlares[0],
    kFlares[1],
    kFlares[2],
    kFlares[3],
    kFlares[4],
    kFlares[5],
    kFlares[6],
    kFlares[7],
    kFlares[8],
    kFaceTexture,
    kBlackTexture,
    kSkinTexture,
    kArmGloveTexture,
    kChestFrontTexture,
    kChestBackTexture,
    kHipFrontTexture,
    kHipBackTexture,
    kCatSideTexture,
    kGoldTexture,
    kPoleTexture,
    kRopeTexture,
    kCatFloorTexture,
    kVogTexture,
    kPhongTexture,
    kLightTexture,
    kCubeTexture,
    kBlobTexture,
    kMeta1Texture,
    kMeta2Texture,
    kMeta3Texture,
    kMeta4Texture,
    kQubTexture,
    kCmapTexture,
    kFlowerTexture,
    kGradientTexture,
    kFloorTexture,
    kStepTexture,
    kDanceFloorTexture,
    kStoneTexture,
    kDoublePicture,
    kBluePicture,
    kTopPicture,
    kTitles[0],
    kTitles[1],
    kTitles[2],
    kTitles[3],
    kPortrait1,
    kPortrait2,
    kFaceBackPicture,
    kFaceFrontPicture,
    kLogoPicture,
    kCaptions[0],
    kCaptions[1],
    kCaptions[2],
    kCaptions[3],
    kCaptions[4],
    kCardPicture,
    kSpritePicture,
    kScroll1Picture,
    kScroll2Picture,
    // The city's maps; "mistio.jpg" once.
    kCityMaps[0].file,
    kCityMaps[1].file,
    kCityMaps[2].file,
    kCityMaps[3].file,
    kCityMaps[4].file,
    kCityMaps[5].file,
    kCityMaps[6].file,
    kCityMaps[7].file,
    kCityMaps[8].file,
    kCityMaps[9].file,
    kCityMaps[10].file,
    kCityMaps[11].file,
    kCityMaps[12].file,
    kCityMaps[13].file,
    kCityMaps[14].file,
    kCityMaps[15].file,
    kCityMaps[16].file,
    kCityMaps[17].file,
    kCityMaps[18].file,
    kCityMaps[19].file,
    kCityMaps[20].file,
    kCityMaps[21].file,
    kCityMaps[22].file,
    kCityMaps[23].file,
    kCityMaps[24].file,
    kCityMaps[25].file,
    kCityMaps[26].file,
    kCityMaps[27].file,
    kCityMaps[28].file,
    kCityMaps[29].file,
    kCityMaps[30].file,
    kCityMaps[31].file,
    kCityMaps[32].file,
    kCityMaps[33].file,
    kCityMaps[34].file,
    kCityMaps[35].file,
    kCityMaps[36].file,
    kCityMaps[37].file,
    kCityMaps[38].file,
    kCityMaps[40].file,
    kCityMaps[41].file,
    kCityMaps[42].file,
};
inline constexpr int kAllCount = sizeof kAll / sizeof kAll[0];

}  // namespace data_file
