// The face record the beauty passes read (one face; passed as an array with a separate count).
#pragma once

namespace QUENMAR_FACEBEAUTY {

struct zq_face_info {
  int reserved0;       // not read by the library
  int reserved1;       // not used by the passes
  int reserved2;       // not read
  int imageWidth;      // width of the frame the points refer to
  int imageHeight;     // height of that frame
  int pointCapacity;   // floats the point buffer holds
  float* points;       // x0, y0, x1, y1, ... in pixels of that frame (95-point landmark order)
};

}  // namespace QUENMAR_FACEBEAUTY
