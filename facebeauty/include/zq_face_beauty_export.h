// Export marker of Zq_FaceBeautyLib's class and C functions.
#pragma once

#if defined(ZQ_FACEBEAUTY_BUILDING)
#define ZQ_FACEBEAUTY_API __declspec(dllexport)
#else
#define ZQ_FACEBEAUTY_API __declspec(dllimport)
#endif
