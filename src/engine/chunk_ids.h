// The .3DS chunk ids the show reads and writes, named once for the loader, the forge's
// writer and the tests' writer.
#pragma once
#include <cstdint>

namespace chunk_id {

// File and editor blocks.
inline constexpr uint16_t kMain = 0x4d4d;
inline constexpr uint16_t kVersion = 0x0002;
inline constexpr uint16_t kEditor = 0x3d3d;
inline constexpr uint16_t kMeshVersion = 0x3d3e;
inline constexpr uint16_t kMasterScale = 0x0100;
inline constexpr uint16_t kColourFloat = 0x0010;  // three floats
inline constexpr uint16_t kColourBytes = 0x0011;  // three bytes

// Objects: a name, then one mesh, light or camera.
inline constexpr uint16_t kObject = 0x4000;
inline constexpr uint16_t kTriMesh = 0x4100;
inline constexpr uint16_t kVertexList = 0x4110;
inline constexpr uint16_t kFaceList = 0x4120;
inline constexpr uint16_t kFaceMaterial = 0x4130;
inline constexpr uint16_t kMappingList = 0x4140;
inline constexpr uint16_t kMeshMatrix = 0x4160;
inline constexpr uint16_t kLight = 0x4600;
inline constexpr uint16_t kCamera = 0x4700;

// Materials.
inline constexpr uint16_t kMaterial = 0xafff;
inline constexpr uint16_t kMaterialName = 0xa000;
inline constexpr uint16_t kMaterialDiffuse = 0xa020;
inline constexpr uint16_t kTextureMap = 0xa200;
inline constexpr uint16_t kMapFile = 0xa300;

// Keyframer.
inline constexpr uint16_t kKeyframer = 0xb000;
inline constexpr uint16_t kAmbientNode = 0xb001;
inline constexpr uint16_t kMeshNode = 0xb002;
inline constexpr uint16_t kCameraNode = 0xb003;
inline constexpr uint16_t kTargetNode = 0xb004;
inline constexpr uint16_t kLightNode = 0xb005;
inline constexpr uint16_t kFrames = 0xb008;
inline constexpr uint16_t kCurrentFrame = 0xb009;
inline constexpr uint16_t kKeyframerHeader = 0xb00a;
inline constexpr uint16_t kNodeHeader = 0xb010;
inline constexpr uint16_t kInstanceName = 0xb011;
inline constexpr uint16_t kPrescale = 0xb012;  // logged, not applied
inline constexpr uint16_t kPivot = 0xb013;
inline constexpr uint16_t kPositionTrack = 0xb020;
inline constexpr uint16_t kRotationTrack = 0xb021;
inline constexpr uint16_t kScaleTrack = 0xb022;
inline constexpr uint16_t kFovTrack = 0xb023;
inline constexpr uint16_t kRollTrack = 0xb024;
inline constexpr uint16_t kColourTrack = 0xb025;
inline constexpr uint16_t kNodeId = 0xb030;

}  // namespace chunk_id
