#pragma once

// The annotation of a share: finished strokes in drawing order, the current tool (shape), the
// colour and the pen width; one process-wide instance. And the rules strokes follow: which
// mouse points a stroke keeps and which strokes a point hits.
//
// Colours are kept in the stored form 0xAABBGGRR (red and blue swapped from the palette's
// 0xAARRGGBB) and drawn with alpha 254.
//
// Threads: UI thread only.

#include <windows.h>

#include <cstdint>
#include <vector>

enum AnnoShape {
  kAnnoShapeNone = 0,    // No annotation: the panel lets the mouse through.
  kAnnoShapePen = 1,     // Freehand lines.
  kAnnoShapeRect = 2,    // Rectangles.
  kAnnoShapeEraser = 3,  // Removes one stroke per click.
};

enum AnnoStrokeKind {
  kAnnoStrokeLine = 0,  // Freehand, a curve through `points`.
  kAnnoStrokeRect = 1,  // The rectangle spanned by `start` and `end`.
};

struct AnnoStroke {
  int kind = kAnnoStrokeLine;
  std::vector<POINT> points;  // Window coordinates.
  POINT start{};
  POINT end{};
  std::uint32_t colour = 0;  // Stored form.
  int width = 0;
};

// Points of a freehand stroke lie at least this far apart (integer Euclidean distance).
constexpr int kAnnoPointSpacing = 8;
// Mouse moves within this many milliseconds of pressing the button add nothing.
constexpr int kAnnoSettleMs = 50;
// A rectangle stroke is hit within this many pixels of an edge.
constexpr int kAnnoRectHitBand = 8;
// A freehand stroke is hit within this many pixels of a curve segment's bounds.
constexpr int kAnnoLineHitBand = 4;

// 0xAARRGGBB to the stored form and back (red and blue bytes swapped, alpha kept).
constexpr std::uint32_t SwapRedBlue(std::uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour & 0xFFu) << 16) | ((colour >> 16) & 0xFFu);
}

// Adds `point` to a freehand stroke: an empty stroke takes it; the last point again is
// ignored; a point at least kAnnoPointSpacing from the last is appended; a nearer one replaces
// the last when `forced`, else it is dropped. True when the stroke changed.
bool AddStrokePoint(AnnoStroke* stroke, POINT point, bool forced);

// True when `point` hits the stroke (see kAnnoRectHitBand, kAnnoLineHitBand). Freehand hits
// follow the points of the cardinal curve drawn through the stroke (GDI+ must be started).
bool StrokeHit(const AnnoStroke& stroke, POINT point);

class CAnnoState {
 public:
  static CAnnoState& Instance();

  int GetShape() const { return shape_; }
  // Values outside 0..3 are ignored; false then.
  bool SetShape(int shape);
  std::uint32_t GetColour() const { return colour_; }
  void SetColour(std::uint32_t stored) { colour_ = stored; }
  int GetWidth() const { return width_; }
  void SetWidth(int width) { width_ = width; }

  const std::vector<AnnoStroke>& Strokes() const { return strokes_; }
  void AddStroke(const AnnoStroke& stroke) { strokes_.push_back(stroke); }
  // Removes the first stroke in drawing order that `point` hits; false when none is hit.
  bool RemoveStrokeAt(POINT point);
  void ClearStrokes() { strokes_.clear(); }

 private:
  CAnnoState() = default;

  std::vector<AnnoStroke> strokes_;
  int shape_ = kAnnoShapeNone;
  std::uint32_t colour_ = 0x000000FF;  // Red.
  int width_ = 3;
};
