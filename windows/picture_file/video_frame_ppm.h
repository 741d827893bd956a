#pragma once

// Thumbnails of video files: an early key frame written as a binary PPM picture (the beauty
// settings window shows it for a video background).
//
// Paths are UTF-8. Threads: any thread; calls share nothing.

#include <cstdint>
#include <string>

// Writes "P6\n<width> <height>\n255\n" and then the rows of `rgb` (R, G, B byte triples,
// width × 3 bytes a row, top row first) to `path`, replacing the file. Returns false (logged)
// when the picture is null or empty, or the file cannot be created or completely written; a
// partly written file is removed.
bool SaveRgbAsPpm(const std::string& path, const uint8_t* rgb, int width, int height);

// Decodes the last video stream of `video_path` until its `key_frame_number`-th decoded key
// frame (counting from 1; the client asks for the first) and writes that picture, at its own
// size, to `ppm_path`. Returns `ppm_path` on success and an empty text when the file, its
// streams or its decoder cannot be opened, no such key frame comes before the end, or the
// picture cannot be written.
std::string SaveVideoFirstFramePpm(const std::string& video_path, const std::string& ppm_path,
                                   int key_frame_number);
