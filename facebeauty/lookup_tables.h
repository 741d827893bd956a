// The two colour cubes of the whitening and AI-light passes: 512 × 512 RGB, 8 × 8 tiles of
// 64 × 64; tile index = blue level (row = index ÷ 8, column = index mod 8), red along x and
// green along y inside a tile. Computed at first use from these formulas, with c in 0..1:
//   whitening (LUT 1), a gentle brightening: f(c) = c + 0.12 × c × (1 − c) per channel;
//   AI light (LUT 2), contrast and a warm tone: g(c) = clamp(c + 0.25 × (c − 0.5) × (1 − |2c − 1|)),
//     then red × 1.03 and blue × 0.97 (clamped);
//   identity (for checking the lookup): the cube's own colour.
#pragma once

#include <vector>

namespace QUENMAR_FACEBEAUTY {

enum class LookupCube { kIdentity, kWhitening, kAiLight };

constexpr int kLookupSize = 512;

const std::vector<unsigned char>& lookupCube(LookupCube cube);

}  // namespace QUENMAR_FACEBEAUTY
