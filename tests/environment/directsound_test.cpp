#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

// DirectSound must find the PulseAudio null sink and play in real time: a position
// notification half a buffer in fires only when the buffer is really being played.
TEST(EnvDirectSound, SecondaryBufferPlaysAgainstTheSink) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  IDirectSound8* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK) << "no sound device";
  ASSERT_EQ(ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);

  WAVEFORMATEX wf{};
  wf.wFormatTag = WAVE_FORMAT_PCM;
  wf.nChannels = 2;
  wf.nSamplesPerSec = 48000;
  wf.wBitsPerSample = 16;
  wf.nBlockAlign = 4;
  wf.nAvgBytesPerSec = 48000 * 4;
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
  desc.dwBufferBytes = wf.nAvgBytesPerSec / 5;  // 200 ms
  desc.lpwfxFormat = &wf;
  IDirectSoundBuffer* buffer = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);

  IDirectSoundNotify* notify = nullptr;
  ASSERT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify)),
            S_OK);
  HANDLE half = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  DSBPOSITIONNOTIFY mark{desc.dwBufferBytes / 2, half};
  ASSERT_EQ(notify->SetNotificationPositions(1, &mark), DS_OK);

  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(WaitForSingleObject(half, 3000), WAIT_OBJECT_0);
  buffer->Stop();

  notify->Release();
  buffer->Release();
  ds->Release();
  CloseHandle(half);
  CoUninitialize();
}
