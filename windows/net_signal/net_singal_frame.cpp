#include "windows/net_signal/net_singal_frame.h"

#include <algorithm>

#include "foundation/text_convert.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/login/skin_choice.h"

namespace {

constexpr int kLayoutNumber = 12;  // "netsingal_frame.xml"
constexpr size_t kHistoryRecords = 6;
constexpr size_t kLossRatios = 5;

constexpr const wchar_t* kLabelNames[] = {
    L"video_kbps",        L"audio_kbps",        L"videopkg_send",   L"audiopkg_send",
    L"videopkg_lost",     L"audiopkg_lost",     L"vlostpkg_rate",   L"alostpkg_rate",
    L"resolution_text",   L"a_encode_type",     L"frame_rate",      L"v_encode_type",
    L"r_video_kbps",      L"r_audio_kbps",      L"r_videopkg_send", L"r_audiopkg_send",
    L"r_videopkg_lost",   L"r_audiopkg_lost",   L"r_vlostpkg_rate", L"r_alostpkg_rate",
    L"r_resolution_text", L"r_frame_rate",
};

std::wstring Num(long long value) { return std::to_wstring(value); }

// "<text>0" without packets, else "<text><lost / packets in percent>%".
std::wstring LossRateText(const std::wstring& text, int packets, int lost) {
  if (packets == 0) return text + L"0";
  return text + Num(static_cast<int>(lost * 1.0 / packets * 100)) + L"%";
}

}  // namespace

DuiLib::CDuiString CNetSingalFrame::GetSkinFile() { return ::GetSkinFile(kLayoutNumber); }

std::wstring CNetSingalFrame::Text(const wchar_t* id) {
  return DuiLib::CMutiLanSupport::Instance()->GetTextForId(id);
}

void CNetSingalFrame::SetLabel(Label label, const std::wstring& text) {
  if (m_labels[label]) m_labels[label]->SetText(text.c_str());
}

void CNetSingalFrame::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"windowinit") {
    OnWindowInit();
  } else if (msg.sType == L"click" && msg.pSender && msg.pSender->GetName() == L"closebtn") {
    ::KillTimer(m_hWnd, kRefreshTimer);
    Close(0);
  }
}

LRESULT CNetSingalFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_TIMER && wParam == kRefreshTimer) {
    OnRefresh();
    return 0;
  }
  if (uMsg == WM_DESTROY) ::KillTimer(m_hWnd, kRefreshTimer);
  return CSkinDialog::HandleMessage(uMsg, wParam, lParam);
}

void CNetSingalFrame::OnWindowInit() {
  for (int i = 0; i < kLabelCount; ++i) {
    m_labels[i] = FindAs<DuiLib::CLabelUI>(kLabelNames[i], L"Label");
  }
  FillLocalVideo();
  FillLocalAudio();
  FillRemoteVideo();
  FillRemoteAudio();
  if (m_pSdk) {
    m_pSdk->GetPublishNetStats(&m_prevPublish, false);
    m_pSdk->GetSubscribeNetStats(&m_prevSubscribe);
    m_pSdk->GetLocalMediaNetStats(&m_prevLocalMedia);
  }
  ::SetTimer(m_hWnd, kRefreshTimer, kRefreshMs, nullptr);
}

void CNetSingalFrame::OnRefresh() {
  if (m_pSdk) m_pSdk->GetPublishNetStats(&m_curPublish, false);
  if (m_publishHistory.size() >= kHistoryRecords) m_publishHistory.pop_front();
  m_publishHistory.push_back(m_curPublish);
  if (m_pSdk) m_pSdk->GetLocalMediaNetStats(&m_curLocalMedia);
  FillLocalVideo();
  FillLocalAudio();
  m_prevPublish = m_curPublish;
  m_prevLocalMedia = m_curLocalMedia;
  if (m_pSdk) m_pSdk->GetSubscribeNetStats(&m_curSubscribe);
  FillRemoteVideo();
  FillRemoteAudio();
  m_prevSubscribe = m_curSubscribe;
}

int CNetSingalFrame::WindowedLossRate() {
  if (m_publishHistory.size() < kHistoryRecords) return 0;
  for (size_t i = 1; i < m_publishHistory.size(); ++i) {
    const NetVideoStatistics& a = m_publishHistory[i - 1].video;
    const NetVideoStatistics& b = m_publishHistory[i].video;
    int sent = b.packets - a.packets;
    if (sent <= 0) sent = 1;
    const float ratio = std::clamp((b.lossCount - a.lossCount) * 1.0f / sent, 0.0f, 1.0f);
    if (m_lossRatios.size() >= kLossRatios) m_lossRatios.pop_front();
    m_lossRatios.push_back(ratio);
  }
  float sum = 0;
  for (float ratio : m_lossRatios) sum += ratio;
  return static_cast<int>(sum / m_lossRatios.size() * 100);
}

void CNetSingalFrame::FillLocalVideo() {
  const NetVideoStatistics& pub = m_curPublish.video;
  const NetVideoStatistics& lod = m_curLocalMedia.video;
  long long kbps = Kbps(pub.bytes, m_prevPublish.video.bytes) + Kbps(lod.bytes, m_prevLocalMedia.video.bytes);
  if (kbps < 0 || kbps > kMaxLocalVideoKbps) kbps = 0;
  SetLabel(kVideoKbps, Text(L"s.kbps") + Num(kbps) + L"kbps");
  const int packets = pub.packets + lod.packets;
  SetLabel(kVideoPkgSend, Text(L"s.send.pkg") + Num(packets));
  SetLabel(kVideoPkgLost, Text(L"s.loss.pkg") + Num(pub.packetsLost + lod.packetsLost));
  const std::wstring rateText = Text(L"s.loss.pkgrate");
  SetLabel(kVideoLossRate, packets == 0 ? rateText + L"0" : rateText + Num(WindowedLossRate()) + L"%");
  const NetVideoStatistics& sized = pub.width < lod.width ? lod : pub;
  SetLabel(kResolution, Text(L"s.dot.solution") + Num(sized.width) + L"*" + Num(sized.height));
  SetLabel(kFrameRate, Text(L"s.frame.rate") + Num(std::max(pub.frameRate, lod.frameRate)));
  SetLabel(kVideoCodec, Text(L"s.encode") + AnsiToUnicode(pub.codec));
}

void CNetSingalFrame::FillLocalAudio() {
  const NetAudioStatistics& pub = m_curPublish.audio;
  // A restarted stream counts from 0 again: shown as 0 like the other rates.
  const long long kbps = std::max(0LL, Kbps(pub.bytes, m_prevPublish.audio.bytes));
  SetLabel(kAudioKbps, Text(L"s.kbps") + Num(kbps) + L"kbps");
  SetLabel(kAudioPkgSend, Text(L"s.send.pkg") + Num(pub.packets));
  SetLabel(kAudioPkgLost, Text(L"s.loss.pkg") + Num(pub.packetsLost));
  SetLabel(kAudioLossRate, LossRateText(Text(L"s.loss.pkgrate"), pub.packets, pub.packetsLost));
  SetLabel(kAudioCodec, Text(L"s.encode") + L" " + AnsiToUnicode(pub.codec));
}

void CNetSingalFrame::FillRemoteVideo() {
  const NetVideoStatistics& sub = m_curSubscribe.video;
  const long long kbps = std::max(0LL, Kbps(sub.bytes, m_prevSubscribe.video.bytes));
  SetLabel(kRemoteVideoKbps, Text(L"s.kbps") + Num(kbps) + L"kbps");
  SetLabel(kRemoteVideoPkgRecv, Text(L"s.recv.pkg") + Num(sub.packets));
  SetLabel(kRemoteVideoPkgLost, Text(L"s.loss.pkg") + Num(sub.packetsLost));
  SetLabel(kRemoteVideoLossRate, LossRateText(Text(L"s.loss.pkgrate"), sub.packets, sub.packetsLost));
  SetLabel(kRemoteResolution, Text(L"s.dot.solution") + L" " + Num(sub.width) + L"*" + Num(sub.height));
  SetLabel(kRemoteFrameRate, Text(L"s.frame.rate") + L" " + Num(sub.frameRate));
}

void CNetSingalFrame::FillRemoteAudio() {
  const NetAudioStatistics& sub = m_curSubscribe.audio;
  const long long kbps = std::max(0LL, Kbps(sub.bytes, m_prevSubscribe.audio.bytes));
  SetLabel(kRemoteAudioKbps, Text(L"s.kbps") + Num(kbps) + L"kbps");
  SetLabel(kRemoteAudioPkgRecv, Text(L"s.recv.pkg") + Num(sub.packets));
  SetLabel(kRemoteAudioPkgLost, Text(L"s.loss.pkg") + Num(sub.packetsLost));
  SetLabel(kRemoteAudioLossRate, LossRateText(Text(L"s.loss.pkgrate"), sub.packets, sub.packetsLost));
}
