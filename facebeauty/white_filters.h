// Whitening (inputs image, mask; reads level 5) and AI light (input image; its own level),
// both through a colour cube (lookup_tables.h) uploaded once per filter.
#pragma once

#include "base_filter.h"
#include "lookup_tables.h"

namespace QUENMAR_FACEBEAUTY {

class LookupFilter : public BaseFilter {
 public:
  // Chooses the cube before the first draw (the identity cube lets the lookup be checked).
  void setCube(LookupCube cube) { cube_ = cube; }

 protected:
  LookupFilter(const char* className, BeautyLevels* owner, LookupCube cube)
      : BaseFilter(className, owner), cube_(cube) {}
  GLuint cubeTexture();

 private:
  LookupCube cube_;
  GLuint texture_ = 0;
};

class BeautyWhiteFilter : public LookupFilter {
 public:
  explicit BeautyWhiteFilter(BeautyLevels* owner)
      : LookupFilter("BeautyWhiteFilter", owner, LookupCube::kWhitening) {}
  bool init() override { return initFrom(ShaderId::kBeautyWhite); }
  void setup(const int* inputs, int count) override;
};

class WhiteFilter : public LookupFilter {
 public:
  WhiteFilter() : LookupFilter("WhiteFilter", nullptr, LookupCube::kAiLight) {}
  bool init() override { return initFrom(ShaderId::kWhite); }
  void setup(const int* inputs, int count) override;
  void setLevel(float level) override { level_ = level; }
  float level() override { return level_; }

 private:
  float level_ = 0.0f;
};

}  // namespace QUENMAR_FACEBEAUTY
