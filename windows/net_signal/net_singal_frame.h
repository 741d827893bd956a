#pragma once

// CNetSingalFrame: the modal window that shows the meeting's network figures once a second. The
// local column is what this client sends (the published stream together with the local-media
// stream), the remote column the subscribed stream: rates in kbps from the difference between
// two copies of the SDK layer's statistics records, packet and loss counts, loss rates, and for
// video the size, frame rate and codec.
//
//   sdk->ResetLocalMediaNetStats();
//   CNetSingalFrame frame(sdk);
//   frame.Create(mainWindow, L"NetSingalFrame",
//                WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU,
//                0);
//   frame.ShowModal();
//
// UI thread only; the layer's getters copy its records under its locks.

#include <deque>
#include <string>

#include "net_statistics.h"
#include "windows/common/skin_dialog.h"

class CSdkInterActive;

class CNetSingalFrame : public CSkinDialog {
 public:
  static constexpr UINT_PTR kRefreshTimer = 3251;
  static constexpr UINT kRefreshMs = 1000;
  // Local video rates above this many kbps are taken for a counter jump and shown as 0.
  static constexpr long long kMaxLocalVideoKbps = 8000;

  // `sdk` (not owned, may be null: every record then stays empty).
  explicit CNetSingalFrame(CSdkInterActive* sdk) : m_pSdk(sdk) {}

  const wchar_t* GetWindowClassName() const override { return L"CNetSingalFrame"; }
  void Notify(DuiLib::TNotifyUI& msg) override;

  // kilobits per second between two byte counters one second apart: ((now - prev) / 1024) * 8,
  // truncated; negative across a stream restart.
  static long long Kbps(long long now, long long prev) { return (now - prev) / 1024 * 8; }

 protected:
  DuiLib::CDuiString GetSkinFile() override;
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

 private:
  enum Label {
    kVideoKbps, kAudioKbps, kVideoPkgSend, kAudioPkgSend, kVideoPkgLost, kAudioPkgLost,
    kVideoLossRate, kAudioLossRate, kResolution, kAudioCodec, kFrameRate, kVideoCodec,
    kRemoteVideoKbps, kRemoteAudioKbps, kRemoteVideoPkgRecv, kRemoteAudioPkgRecv,
    kRemoteVideoPkgLost, kRemoteAudioPkgLost, kRemoteVideoLossRate, kRemoteAudioLossRate,
    kRemoteResolution, kRemoteFrameRate, kLabelCount
  };

  void OnWindowInit();
  void OnRefresh();
  void FillLocalVideo();
  void FillLocalAudio();
  void FillRemoteVideo();
  void FillRemoteAudio();
  // The local video loss rate in percent over the last five seconds of published records.
  int WindowedLossRate();
  void SetLabel(Label label, const std::wstring& text);
  // The language text of `id`.
  static std::wstring Text(const wchar_t* id);

  CSdkInterActive* m_pSdk;
  DuiLib::CLabelUI* m_labels[kLabelCount] = {};
  NetStatistics m_prevPublish, m_curPublish;
  NetStatistics m_prevSubscribe, m_curSubscribe;
  NetStatistics m_prevLocalMedia, m_curLocalMedia;
  std::deque<NetStatistics> m_publishHistory;  // At most 6, oldest first.
  std::deque<float> m_lossRatios;              // At most 5.
};
