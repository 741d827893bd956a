#include "devices/tests/test_devices/microphone_source.h"

#include <dshow.h>

#include <cstring>
#include <string>

#include "devices/av_capture_formats.h"
#include "devices/tests/test_devices/test_devices.h"

namespace tarvo_test_devices {
namespace {

constexpr int kWaveBufferCount = 4;

WAVEFORMATEX WaveOf(const MicrophoneCap& cap) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = static_cast<WORD>(cap.channels);
  wave.nSamplesPerSec = static_cast<DWORD>(cap.sample_rate);
  wave.wBitsPerSample = static_cast<WORD>(cap.bits);
  wave.nBlockAlign = static_cast<WORD>(cap.channels * cap.bits / 8);
  wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
  return wave;
}

void MakeType(const WAVEFORMATEX& wave, morlun::MediaType* type) {
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = MEDIASUBTYPE_PCM;
  mt.bFixedSizeSamples = TRUE;
  mt.lSampleSize = wave.nBlockAlign;
  mt.formattype = FORMAT_WaveFormatEx;
  mt.cbFormat = sizeof(wave);
  mt.pbFormat = reinterpret_cast<BYTE*>(const_cast<WAVEFORMATEX*>(&wave));
  type->Assign(mt);
}

}  // namespace

MicrophoneSource::~MicrophoneSource() { CloseWaveIn(); }

void MicrophoneSource::SetMode(const std::wstring& mode) { mode_ = mode; }

const GUID& MicrophoneSource::major() const { return MEDIATYPE_Audio; }

int MicrophoneSource::CapsSize() const { return sizeof(AUDIO_STREAM_CONFIG_CAPS); }

int MicrophoneSource::CapCount() const {
  return mode_ == kModeNoWaveFormat ? 0 : kMicrophoneCapCount;
}

bool MicrophoneSource::GetCap(int index, morlun::MediaType* type, BYTE* caps) const {
  if (index < 0 || index >= CapCount()) return false;
  const MicrophoneCap& cap = kMicrophoneCaps[index];
  MakeType(WaveOf(cap), type);
  AUDIO_STREAM_CONFIG_CAPS config{};
  config.guid = MEDIATYPE_Audio;
  config.MinimumChannels = config.MaximumChannels = static_cast<ULONG>(cap.channels);
  config.ChannelsGranularity = 1;
  config.MinimumBitsPerSample = config.MaximumBitsPerSample = static_cast<ULONG>(cap.bits);
  config.BitsPerSampleGranularity = 8;
  config.MinimumSampleFrequency = config.MaximumSampleFrequency =
      static_cast<ULONG>(cap.sample_rate);
  config.SampleFrequencyGranularity = 1;
  if (caps) std::memcpy(caps, &config, sizeof(config));
  return true;
}

void MicrophoneSource::InitialFormat(morlun::MediaType* type) const {
  if (mode_ != kModeNoWaveFormat) {
    MakeType(WaveOf(kMicrophoneCaps[0]), type);
    return;
  }
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = MEDIASUBTYPE_PCM;
  mt.formattype = FORMAT_None;
  type->Assign(mt);
}

bool MicrophoneSource::Accepts(const AM_MEDIA_TYPE& type) const {
  const WAVEFORMATEX* wave = morlun::WaveFormatOf(type);
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM || !wave) {
    return false;
  }
  for (int i = 0; i < CapCount(); ++i) {
    const WAVEFORMATEX cap = WaveOf(kMicrophoneCaps[i]);
    if (wave->wFormatTag == cap.wFormatTag && wave->nChannels == cap.nChannels &&
        wave->nSamplesPerSec == cap.nSamplesPerSec && wave->wBitsPerSample == cap.wBitsPerSample) {
      return true;
    }
  }
  return false;
}

long MicrophoneSource::BufferSize(const AM_MEDIA_TYPE& type, long suggested) const {
  if (suggested > 0) return suggested;
  const WAVEFORMATEX* wave = morlun::WaveFormatOf(type);
  if (!wave) return 4096;
  return static_cast<long>(wave->nSamplesPerSec) * kMicrophoneBufferMs / 1000 * wave->nBlockAlign;
}

bool MicrophoneSource::Paced() const { return mode_ == kModeTone; }

bool MicrophoneSource::Begin(const AM_MEDIA_TYPE& type, long buffer_size) {
  const WAVEFORMATEX* wave = morlun::WaveFormatOf(type);
  if (!wave || wave->nBlockAlign == 0 || mode_ == kModeNoWaveFormat) return false;
  format_ = *wave;
  format_.cbSize = 0;
  next_sample_ = 0;
  if (mode_ == kModePulse) return OpenWaveIn(buffer_size - buffer_size % wave->nBlockAlign);
  return true;
}

bool MicrophoneSource::OpenWaveIn(long buffer_bytes) {
  const std::wstring monitor = kToneMonitorName;
  UINT device = WAVE_MAPPER;
  const UINT count = waveInGetNumDevs();
  for (UINT i = 0; i < count; ++i) {
    WAVEINCAPSW caps{};
    if (waveInGetDevCapsW(i, &caps, sizeof(caps)) == MMSYSERR_NOERROR &&
        std::wstring(caps.szPname).compare(0, monitor.size(), monitor) == 0) {
      device = i;
      break;
    }
  }
  if (device == WAVE_MAPPER) return false;
  wave_event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!wave_event_ ||
      waveInOpen(&wave_in_, device, &format_, reinterpret_cast<DWORD_PTR>(wave_event_), 0,
                 CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    wave_in_ = nullptr;
    CloseWaveIn();
    return false;
  }
  wave_buffers_.assign(kWaveBufferCount, std::vector<char>(buffer_bytes));
  wave_headers_.assign(kWaveBufferCount, WAVEHDR{});
  for (int i = 0; i < kWaveBufferCount; ++i) {
    WAVEHDR& header = wave_headers_[i];
    header.lpData = wave_buffers_[i].data();
    header.dwBufferLength = static_cast<DWORD>(buffer_bytes);
    waveInPrepareHeader(wave_in_, &header, sizeof(header));
    waveInAddBuffer(wave_in_, &header, sizeof(header));
  }
  next_header_ = 0;
  return waveInStart(wave_in_) == MMSYSERR_NOERROR;
}

void MicrophoneSource::CloseWaveIn() {
  if (wave_in_) {
    waveInReset(wave_in_);
    for (WAVEHDR& header : wave_headers_) {
      waveInUnprepareHeader(wave_in_, &header, sizeof(header));
    }
    waveInClose(wave_in_);
    wave_in_ = nullptr;
  }
  wave_headers_.clear();
  wave_buffers_.clear();
  if (wave_event_) CloseHandle(wave_event_);
  wave_event_ = nullptr;
}

StreamSource::Fill MicrophoneSource::FillSample(BYTE* data, long capacity, long* length,
                                                REFERENCE_TIME* duration, HANDLE stop) {
  const long block = format_.nBlockAlign;
  if (mode_ == kModeTone) {
    const long frames = capacity / block;
    if (frames == 0) return Fill::kStop;
    const int rate = static_cast<int>(format_.nSamplesPerSec);
    auto* samples = reinterpret_cast<int16_t*>(data);
    for (long i = 0; i < frames; ++i) {
      const int16_t value = ToneSample(next_sample_ + i, rate);
      for (int c = 0; c < format_.nChannels; ++c) samples[i * format_.nChannels + c] = value;
    }
    next_sample_ += frames;
    *length = frames * block;
    *duration = static_cast<REFERENCE_TIME>(frames) * 10000000 / rate;
    return Fill::kSample;
  }
  if (!wave_in_) return Fill::kNothing;
  HANDLE waits[] = {stop, wave_event_};
  for (;;) {
    WAVEHDR& header = wave_headers_[next_header_];
    if (header.dwFlags & WHDR_DONE) {
      const long recorded = static_cast<long>(header.dwBytesRecorded);
      const long copied = recorded < capacity ? recorded : capacity;
      std::memcpy(data, header.lpData, copied);
      header.dwFlags &= ~WHDR_DONE;
      waveInAddBuffer(wave_in_, &header, sizeof(header));
      next_header_ = (next_header_ + 1) % wave_headers_.size();
      if (copied == 0) continue;
      *length = copied - copied % block;
      *duration = static_cast<REFERENCE_TIME>(*length / block) * 10000000 /
                  static_cast<REFERENCE_TIME>(format_.nSamplesPerSec);
      return Fill::kSample;
    }
    if (WaitForMultipleObjects(2, waits, FALSE, 1000) == WAIT_OBJECT_0) return Fill::kStop;
  }
}

void MicrophoneSource::End() { CloseWaveIn(); }

}  // namespace tarvo_test_devices
