// Export marker of ZqFaceDetectLib's C functions.
#pragma once

#if defined(ZQ_FACE_DETECT_BUILDING)
#define ZQ_FACE_DETECT_API __declspec(dllexport)
#else
#define ZQ_FACE_DETECT_API __declspec(dllimport)
#endif
