// Skin segmentation for the beauty library: a one-byte mask of skin (non-zero) at a chosen size
// for a BGR frame. No model is read: a pixel is skin when its Cr and Cb (BT.601, full range)
// fall in the usual skin range (133..173, 77..127); the map is resized to the mask size,
// blurred with a box of blurSize × blurSize pixels (odd, at least 1) and thresholded: a blurred
// value of at least threshold (0..255) becomes 255, anything else 0. The blur closes the small
// holes of eyes, brows and noise and the threshold keeps skin a little inside its border.
//
// Threads: one object is used by one thread at a time (the caller serialises).
#pragma once

class ZqSkinMask {
 public:
  ZqSkinMask() = default;

  // Accepted for the interface; the colour rule needs no threads or inference device.
  void setThreadNumber(int threads);
  void setMNNForwardType(int type);
  // Box size (made odd, at least 1) and threshold (clamped to 0..255). Defaults 7 and 180.
  void setBlurEffectParams(int blurSize, int threshold);
  // The model folder is not read; size is the mask side the caller will ask for. False for a
  // size below 1.
  bool init(const char* modelDir, int size);
  void setLogable(bool on);
  // Segments a frame of height rows of width packed pixels in format 7 (BGR888) and writes
  // outWidth × outHeight bytes. orientation 0 only. False (out untouched) for bad arguments or
  // before init.
  bool segmentMask(const unsigned char* bgr, int width, int height, int format, int orientation,
                   int outWidth, int outHeight, unsigned char* out);
  void release();

 private:
  bool inited_ = false;
  bool log_ = false;
  int blurSize_ = 7;
  int threshold_ = 180;
};
