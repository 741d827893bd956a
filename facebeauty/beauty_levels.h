// The beauty levels the passes read: 23 floats, one per beauty type 0..21 plus a slot nothing
// reads, stored through each type's mapping from the user's level, and the box blur's face flag.
// Used on the GL thread and by the engine under its own mutex; holds no lock itself.
#pragma once

namespace QUENMAR_FACEBEAUTY {

class BeautyLevels {
 public:
  static constexpr int kCount = 23;
  static constexpr int kPresetType = 22;

  BeautyLevels();

  // Accepts -0.001 < level < 3.001 and 0 <= type <= 22; anything else changes nothing.
  // Type 22 applies the preset of every value from one level.
  void setBeautyLevel(int type, float level);
  // The stored value of a type (0 outside 0..22).
  float value(int type) const;

  // On: the horizontal mean blur also blurs vertically (the diagonal blur of the face-detail
  // input).
  bool faceFlag() const { return faceFlag_; }
  void setFaceFlag(bool on) { faceFlag_ = on; }

 private:
  float values_[kCount];
  bool faceFlag_ = false;
};

}  // namespace QUENMAR_FACEBEAUTY
