// The beauty library's C interface: each handle owns one native engine (its use of the GL
// environment, face detector, skin segmenter, beauty object and worker pool).
//
// Calling order: zq_fb_native_setExternalOpenGLEnv (if wanted) and zq_fb_native_log before
// zq_fb_native_init; then zq_fb_native_process and the setters; zq_fb_native_uninit last.
// Every call for one handle comes from the thread that owns the GL context (the library's own
// environment, or the caller's in external mode). No exception leaves these functions.
#pragma once

#include "zq_face_beauty_export.h"
#include "zq_image_info.h"

extern "C" {

// A handle from 1, or -1.
ZQ_FACEBEAUTY_API int zq_fb_native_init(const char* modelDir, const char* path, int threadCount,
                                        bool useSkinMask);
ZQ_FACEBEAUTY_API bool zq_fb_native_isInited(int handle);
// The library's log switch (off at load); engines made afterwards hand it to their segmenter.
ZQ_FACEBEAUTY_API void zq_fb_native_log(bool on);
// The output texture id (> 0); -1 unknown handle, engine not initialised, null record or a
// size that cannot be a frame; -2 neither texture nor data; -3 unsupported format (the frame is
// left unchanged).
ZQ_FACEBEAUTY_API int zq_fb_native_process(int handle, QUENMAR_FACEBEAUTY::zq_image_info_st* frame);
ZQ_FACEBEAUTY_API void zq_fb_native_setAILight(int handle, float level);
ZQ_FACEBEAUTY_API void zq_fb_native_setBeautyLevel(int handle,
                                                   QUENMAR_FACEBEAUTY::zq_beauty_type type,
                                                   float level);
// true: the caller's GL context is current on the calling thread; the library makes, enters
// and releases none of its own.
ZQ_FACEBEAUTY_API void zq_fb_native_setExternalOpenGLEnv(bool external);
// Simple mode: no face detection, no face passes.
ZQ_FACEBEAUTY_API void zq_fb_native_setSimpleMode(int handle, bool simple);
ZQ_FACEBEAUTY_API void zq_fb_native_uninit(int handle);

}  // extern "C"
