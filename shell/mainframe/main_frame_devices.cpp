// The main window's device reactions: device-interface removals and arrivals, unplugged audio
// endpoints, and the notice and clean-up after a configured device went away. UI thread.

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "foundation/tick_clock.h"
#include "sdk/interactive/sdk_interactive.h"
#include "shell/mainframe/main_frame.h"
#include "windows/device_change/device_frame.h"
#include "windows/device_notify/mm_notification_client.h"

namespace {

// At most one device-lost notice in this many milliseconds.
constexpr std::uint64_t kDeviceNoticeSpacingMs = 2000;

// "The identifier contains the configured id": never for an empty configured id, which every
// identifier would contain.
bool MatchesConfigured(const std::string& id, const std::string& configured) {
  return !configured.empty() && id.find(configured) != std::string::npos;
}

}  // namespace

std::uint64_t CMainFrame::DeviceNoticeClock() { return CxTickClock::Now(); }

void CMainFrame::FetchDeviceLists() {
  CxBus::CallWithResult(GetMessageBus(), kTopicGetCamList, &m_cameraList);
  CxBus::CallWithResult(GetMessageBus(), kTopicGetMicList, &m_micList);
}

bool CMainFrame::ConfiguredDeviceRemoved(bool microphone, DeviceChangeRecord* record) {
  StAppConfig* config = GetAppConfig();
  const std::string configured = microphone ? config->GetMicDevId() : config->camera_dev_id;
  std::vector<stDev_Info>& list = microphone ? m_micList : m_cameraList;
  const auto has = [&] {
    return std::find_if(list.begin(), list.end(),
                        [&](const stDev_Info& device) { return device.id == configured; });
  };
  auto before = has();
  if (configured.empty() || before == list.end()) return false;
  record->kind = microphone ? 0 : 2;
  record->id = before->id;
  record->name = before->name;
  CxBus::CallWithResult(GetMessageBus(), microphone ? kTopicGetMicList : kTopicGetCamList, &list);
  return has() == list.end();
}

void CMainFrame::OnDeviceChange(WPARAM event, LPARAM lParam) {
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
  if (event == DBT_DEVICEARRIVAL) {
    FetchDeviceLists();
    return;
  }
  if (event != DBT_DEVICEREMOVECOMPLETE) return;
  std::vector<DeviceChangeRecord> records(1);
  if (ConfiguredDeviceRemoved(false, &records[0])) {
    std::string lost;
    if (m_pSdk != nullptr && m_pSdk->FindLostVideoDev(lost)) {
      records[0].id = lost;
      ShowDeviceChange(records);
    }
    return;
  }
  if (ConfiguredDeviceRemoved(true, &records[0]) && m_micList.empty()) ShowDeviceChange(records);
}

void CMainFrame::OnEndpointUnplugged(LPARAM lParam) {
  wchar_t* copy = reinterpret_cast<wchar_t*>(lParam);
  // The notifier made the copy; it is freed here whatever becomes of it.
  const std::string id = copy != nullptr ? UnicodeToUtf8(copy) : std::string();
  FreeDeviceId(copy);
  if (id.empty()) return;
  std::vector<DeviceChangeRecord> records;
  for (auto it = m_micList.begin(); it != m_micList.end();) {
    if (it->id == id) {
      records.push_back(DeviceChangeRecord{0, it->id, it->name});
      it = m_micList.erase(it);
    } else {
      ++it;
    }
  }
  if (!records.empty() && m_micList.empty()) ShowDeviceChange(records);
}

void CMainFrame::ShowDeviceChange(const std::vector<DeviceChangeRecord>& records) {
  StAppConfig* config = GetAppConfig();
  bool deviceLost = false;
  bool micLost = false;
  for (size_t i = 0; i < records.size(); ++i) {
    const DeviceChangeRecord& record = records[i];
    if (m_pSdk != nullptr) m_pSdk->PostWebLog("dev hotplug id=" + record.id);
    CxBus::Call(GetMessageBus(), kTopicDevHotplug, record.kind == 0, record.id);
    if (record.kind == 0 && MatchesConfigured(record.id, config->GetMicDevId())) {
      if (m_pSdk != nullptr) m_pSdk->OnMic_OnOff(m_pSdk->GetOwnStreamName(), 0);
      if (i == 0 || !deviceLost) {
        micLost = true;
        deviceLost = true;
      }
      config->SetMicDevice("", "");
    } else if (record.kind == 2 && MatchesConfigured(record.id, config->camera_dev_id)) {
      if (m_pSdk != nullptr) {
        m_pSdk->OnVideo_OnOff(m_pSdk->GetOwnStreamName(), 0);
        m_pSdk->CloseLostVideoDev(config->camera_dev_id);
      }
      if (i == 0 || !deviceLost) deviceLost = true;
      config->camera_dev_id.clear();
      config->camera_dev_name.clear();
    }
  }
  if (m_pSdk != nullptr) {
    m_pSdk->StopLocalPublish();
    m_pSdk->CreateDefaultPublishStream();
  }
  if (records.empty() || !deviceLost || m_pBeautyFrame != nullptr || m_pSettingFrame != nullptr) {
    return;
  }
  const std::uint64_t now = DeviceNoticeClock();
  if (now - m_nLastDeviceNotice < kDeviceNoticeSpacingMs) return;
  TVLOG_INFO_THIS() << " type=" << records[0].kind
                    << " ,name=" << UnicodeToAnsi(Utf8ToUnicode(records[0].name));
  m_nLastDeviceNotice = now;
  auto* notice = new CDeviceFrame(deviceLost, micLost, records[0].name);
  if (notice->Create(m_hWnd, L"CDeviceFrame", 0x96C80000, 0) == nullptr) {
    delete notice;
    return;
  }
  if (notice->ShowModal() == 1) ShowSettingFrame(micLost ? 3 : 2);  // The notice deletes itself.
}

int CMainFrame::SampleNetQuality() { return m_pSdk != nullptr ? m_pSdk->UpdateNetStatus() : -1; }

void CMainFrame::UpdateNetLevel() {
  if (m_pSdk == nullptr) return;
  const int quality = SampleNetQuality();
  if (quality == m_nNetLevel) return;
  m_nNetLevel = quality;
  // The page counts the other way: 2 is the worst.
  if (quality >= 0 && quality <= 2) CJsEventSender::Instance()->NotifyNetLevel(2 - quality);
  m_pSdk->PostWebLog("net status" + std::to_string(quality));
}
