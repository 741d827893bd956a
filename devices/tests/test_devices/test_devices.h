#pragma once

// TarvoTestDevices.dll: the DirectShow devices Morlun's capture engines are tested against, and
// what the tests know of them. Test-only; never part of the product.
//
// The DLL registers (regsvr32) two source filters, a virtual camera and a virtual microphone,
// under several device instances in the video and audio input categories. Each instance gets
// its behaviour from the "TarvoMode" value of its property bag, which the filter reads in
// IPersistPropertyBag::Load when the device moniker binds it. It also registers an RGB24 to
// RGB32 converter (rgb_converter.h) for intelligent connect, which Wine lacks.

#include <windows.h>

#include <cmath>
#include <cstdint>

namespace tarvo_test_devices {

// {BD1C2232-A58F-4B55-A616-528973CD0C19}
constexpr GUID kVirtualCameraClsid = {
    0xbd1c2232, 0xa58f, 0x4b55, {0xa6, 0x16, 0x52, 0x89, 0x73, 0xcd, 0x0c, 0x19}};
// {3376DD5E-5388-4F52-A897-302BA8AE24FC}
constexpr GUID kVirtualMicrophoneClsid = {
    0x3376dd5e, 0x5388, 0x4f52, {0xa8, 0x97, 0x30, 0x2b, 0xa8, 0xae, 0x24, 0xfc}};

constexpr wchar_t kModeProperty[] = L"TarvoMode";

// Camera modes: frames paced by the graph clock, as fast as they can be taken, or none.
constexpr wchar_t kModePaced[] = L"paced";
constexpr wchar_t kModeUnpaced[] = L"unpaced";
constexpr wchar_t kModeSilent[] = L"silent";
// Microphone modes: a synthesised tone, what waveIn records from the monitor of the
// "Tarvo Tone" sink, or a device whose current format is no wave format.
constexpr wchar_t kModeTone[] = L"tone";
constexpr wchar_t kModePulse[] = L"pulse";
constexpr wchar_t kModeNoWaveFormat[] = L"noformat";

struct DeviceInstance {
  const wchar_t* name;      // FriendlyName
  const wchar_t* instance;  // The last part of the device path.
  const wchar_t* mode;
  bool microphone;
};

// Two cameras share one name; only their paths tell them apart.
constexpr wchar_t kCameraName[] = L"Tarvo Virtual Camera";
constexpr wchar_t kSilentCameraName[] = L"Tarvo Silent Camera";
constexpr wchar_t kUnpacedCameraName[] = L"Tarvo Unpaced Camera";
constexpr wchar_t kToneMicrophoneName[] = L"Tarvo Tone Microphone";
constexpr wchar_t kPulseMicrophoneName[] = L"Tarvo PulseAudio Microphone";
constexpr wchar_t kFormatlessMicrophoneName[] = L"Tarvo Formatless Microphone";

constexpr DeviceInstance kDeviceInstances[] = {
    {kCameraName, L"TarvoVirtualCamera1", kModePaced, false},
    {kCameraName, L"TarvoVirtualCamera2", kModePaced, false},
    {kSilentCameraName, L"TarvoSilentCamera", kModeSilent, false},
    {kUnpacedCameraName, L"TarvoUnpacedCamera", kModeUnpaced, false},
    {kToneMicrophoneName, L"TarvoToneMicrophone", kModeTone, true},
    {kPulseMicrophoneName, L"TarvoPulseMicrophone", kModePulse, true},
    {kFormatlessMicrophoneName, L"TarvoFormatlessMicrophone", kModeNoWaveFormat, true},
};
constexpr int kCameraInstanceCount = 4;

// The camera's capabilities, in the order GetStreamCaps gives them; the first is the current
// format when the device is bound.
struct CameraCap {
  char fourcc[5];  // "RGB3" stands for uncompressed RGB24 (BI_RGB)
  int width;
  int height;
  int64_t interval;  // 100 ns units
};
constexpr CameraCap kCameraCaps[] = {
    {"I420", 640, 360, 333333},  {"YUY2", 1280, 720, 333333}, {"UYVY", 320, 240, 333333},
    {"YV12", 320, 240, 666666},  {"RGB3", 640, 480, 333333},  {"MJPG", 1280, 720, 333333},
};
constexpr int kCameraCapCount = sizeof(kCameraCaps) / sizeof(kCameraCaps[0]);

// The microphone's capabilities (PCM), the first current when bound.
struct MicrophoneCap {
  int sample_rate;
  int bits;
  int channels;
};
constexpr MicrophoneCap kMicrophoneCaps[] = {{48000, 16, 2}, {44100, 16, 1}, {16000, 16, 1}};
constexpr int kMicrophoneCapCount = sizeof(kMicrophoneCaps) / sizeof(kMicrophoneCaps[0]);

// Without a suggested buffer size the microphone delivers 20 ms per buffer.
constexpr int kMicrophoneBufferMs = 20;

// The tone: 1 kHz at this amplitude in every channel, phase-continuous across buffers.
constexpr double kToneFrequency = 1000.0;
constexpr double kToneAmplitude = 8000.0;
inline int16_t ToneSample(int64_t index, int sample_rate) {
  const double phase = 2.0 * 3.14159265358979323846 * kToneFrequency *
                       static_cast<double>(index % sample_rate) / sample_rate;
  return static_cast<int16_t>(std::lround(kToneAmplitude * std::sin(phase)));
}

// The PulseAudio null sink whose monitor the "pulse" microphone records (wave-in names start
// with "Monitor of " and the sink's description).
constexpr wchar_t kToneSinkName[] = L"Tarvo Tone";
constexpr wchar_t kToneMonitorName[] = L"Monitor of Tarvo Tone";

}  // namespace tarvo_test_devices
