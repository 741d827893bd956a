#include "beauty_levels.h"

#include <gtest/gtest.h>

namespace QUENMAR_FACEBEAUTY {
namespace {

TEST(BeautyLevelsTest, DefaultsRangeAndMapping) {
  BeautyLevels levels;
  const float defaults[9] = {0.09f, 0.078f, 0.64f, 0.18f, 0.54f, 0.6f, 0.6f, 0.6f, 0.077f};
  for (int t = 0; t < 9; ++t) EXPECT_FLOAT_EQ(defaults[t], levels.value(t)) << t;
  for (int t = 9; t < 23; ++t) EXPECT_EQ(0.0f, levels.value(t)) << t;

  levels.setBeautyLevel(5, 3.0f);
  EXPECT_FLOAT_EQ(3.0f, levels.value(5));
  levels.setBeautyLevel(5, 3.01f);
  EXPECT_FLOAT_EQ(3.0f, levels.value(5));
  levels.setBeautyLevel(5, -0.0005f);
  EXPECT_FLOAT_EQ(-0.0005f, levels.value(5));
  levels.setBeautyLevel(23, 1.0f);
  levels.setBeautyLevel(-1, 1.0f);
  EXPECT_EQ(0.0f, levels.value(23));

  // Type 4 turns negative above 2 on its curve: stored as no smoothing, never negative.
  levels.setBeautyLevel(4, 3.0f);
  EXPECT_EQ(0.0f, levels.value(4));
  levels.setBeautyLevel(4, 0.5f);
  EXPECT_FLOAT_EQ(0.675f, levels.value(4));
  EXPECT_FLOAT_EQ(0.077f, levels.value(8));  // type 4 alone leaves 8

  // Level 0 of the offset types stores non-zero values.
  levels.setBeautyLevel(11, 0.0f);
  levels.setBeautyLevel(16, 0.0f);
  EXPECT_FLOAT_EQ(-0.1f, levels.value(11));
  EXPECT_FLOAT_EQ(-0.5f, levels.value(16));
}

TEST(BeautyLevelsTest, PresetAtOne) {
  BeautyLevels levels;
  for (int t = 9; t <= 21; ++t) levels.setBeautyLevel(t, 1.0f);
  levels.setBeautyLevel(22, 1.0f);
  const float expected[9] = {0.15f, 0.13f, 1.0f, 0.3f, 0.9f, 1, 1, 1, 0.095f};
  for (int t = 0; t < 9; ++t) EXPECT_FLOAT_EQ(expected[t], levels.value(t)) << t;
  for (int t = 9; t <= 21; ++t) EXPECT_EQ(0.0f, levels.value(t)) << t;
}

}  // namespace
}  // namespace QUENMAR_FACEBEAUTY
