// ZqFaceDetectLib's C interface: create a detector, detect faces in BGR frames, destroy it.
//
// Return codes: a handle from 1 or 0 for success; -1 for a refused input or an uninitialised
// detector, -2 for an unknown handle, -3 when the models cannot be loaded. Every message of the
// library is printed on standard output as "Zq_FaceDetect: <message>". All functions may be
// called from any thread; calls on one handle are serialised, different handles run in
// parallel. No exception leaves them.
//
// The result records travel in a std::vector, so the library and its caller must be built with
// the same compiler, standard library and runtime heap.
#pragma once

#include <cstdint>
#include <vector>

#include "zq_face_detect_export.h"

// The only pixel format accepted: 3 bytes per pixel, blue, green, red.
#ifndef PIX_FMT_BGR888
#define PIX_FMT_BGR888 7
#endif

// One face.
struct zq_face_detect_result {
  int32_t face_id = 0;  // stays the same while the face is tracked from frame to frame
  int32_t reserved_int_a = 0;
  int32_t reserved_int_b = 0;
  int32_t x = 0;  // face box in the caller's frame, pixels
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> reserved_floats;
  std::vector<float> landmarks;  // x0, y0, x1, y1, ... in the caller's frame
  std::vector<int32_t> reserved_ints5 = std::vector<int32_t>(5, 0);
  std::vector<int32_t> reserved_ints2 = std::vector<int32_t>(2, 0);
  std::vector<float> pose = std::vector<float>(9, -999.0f);  // angles in degrees first
  std::vector<float> reserved_values = std::vector<float>(7281, 0.0f);
  std::vector<int32_t> reserved_ids = std::vector<int32_t>(5, -1);
  int32_t reserved_int_c = 0;

  zq_face_detect_result() {
    reserved_floats.reserve(10);
    landmarks.reserve(300);
  }
};

extern "C" {

// Creates a detector over the model files in |modelDir| (no trailing separator). |path| is not
// read. Returns the new handle, or -3 when a model cannot be loaded.
ZQ_FACE_DETECT_API int zq_face_detect_api_init(const char* modelDir, int detectInterval,
                                               int maxFaces, const char* path);

// Detects faces in a frame of |height| rows of |width| packed BGR pixels. |orientation| (0 to 3)
// says how landmark points are mapped back; |sizeClass| (0 to 4: 160, 320, 480, 640, 1280;
// otherwise 480) is the longer side of the working image; non-zero |noLandmarks| leaves the
// landmarks empty. |faces| is cleared and filled on success (0) and left untouched on -1.
// detectBuffer tracks faces from call to call (video); detectPicData detects afresh (pictures).
ZQ_FACE_DETECT_API int zq_face_detect_api_detectBuffer(int handle, const unsigned char* data,
                                                       int width, int height, int pixelFormat,
                                                       int orientation, int sizeClass,
                                                       int noLandmarks,
                                                       std::vector<zq_face_detect_result>* faces);
ZQ_FACE_DETECT_API int zq_face_detect_api_detectPicData(int handle, const unsigned char* data,
                                                        int width, int height, int pixelFormat,
                                                        int orientation, int sizeClass,
                                                        int noLandmarks,
                                                        std::vector<zq_face_detect_result>* faces);

// Frees a detector. Returns 0, -1 when it was never initialised, -2 for an unknown handle. A
// detect call running on the handle finishes first. When the last handle is gone, handles
// count from 1 again.
ZQ_FACE_DETECT_API int zq_face_detect_api_destroy(int handle);

}  // extern "C"
