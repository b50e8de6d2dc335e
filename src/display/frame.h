// The FrameBuffer's shape: every scene, kernel and picture that covers the whole frame
// shares these numbers.
#pragma once

constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;
constexpr int kFramePixels = kFrameWidth * kFrameHeight;  // 76,800
constexpr int kFramePitchBytes = kFrameWidth * 4;         // 1,280: rows have no gaps
constexpr int kFrameBytes = kFramePixels * 4;             // 307,200
