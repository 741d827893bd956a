#include "sdk/interactive/sdk_interactive.h"

#include <windows.h>

#include <algorithm>

#include "foundation/bus_topics.h"
#include "foundation/hub.h"
#include "foundation/log.h"

namespace {

constexpr unsigned kBlockCapacity = 1920 * 1080 * 2;  // 4147200 bytes.
constexpr int kBeautyInstance = 2;

// The folder of the running program, ending in a backslash.
std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);  // Cut short: try a larger buffer.
  }
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace

CSdkInterActive::CSdkInterActive(DevConsumerDelegate* owner)
    : m_pBeautyFace(std::make_unique<CxBeautyFace>(kBeautyInstance)), m_pOwner(owner) {
  m_liveBlock.Create(L"livestream_share", kBlockCapacity, true);
  m_mixBlock.Create(L"mixstream_share", kBlockCapacity, true);
  m_castBlock.Create(L"caststream_share", kBlockCapacity, true);
  m_cameraBlock.Create(L"camerastream_share", kBlockCapacity, true);

  CxBus& bus = GetMessageBus();
  CxBus::Listen(m_subscriptions, bus, kTopicAddDevConsumer, &CSdkInterActive::AddDevConsumer, this);
  CxBus::Listen(m_subscriptions, bus, kTopicDelDevConsumer, &CSdkInterActive::DelDevConsumer, this);
  CxBus::Listen(m_subscriptions, bus, kTopicClosePicture, &CSdkInterActive::Close_Picture_Stream, this);
  CxBus::Listen(m_subscriptions, bus, kTopicCloseDevVideo, &CSdkInterActive::Close_Video_Dev, this);
  CxBus::Listen(m_subscriptions, bus, kTopicSetResolution, &CSdkInterActive::SetVideoResolution, this);
  CxBus::Listen(m_subscriptions, bus, kTopicSetPreference, &CSdkInterActive::SetDegradationpreference, this);
  CxBus::Listen(m_subscriptions, bus, kTopicCheckDevVideos, &CSdkInterActive::CheckDevVideos, this);
  CxBus::Listen(m_subscriptions, bus, kTopicOpenDevVideo, &CSdkInterActive::Open_Video_Dev, this);
  CxBus::Listen(m_subscriptions, bus, kTopicAvMuted, &CSdkInterActive::OnAvMuted, this);
  SubscribeDeviceTopics();
}

CSdkInterActive::~CSdkInterActive() {
  // The SDK's threads may still call in and write into the blocks: end them first.
  UnloadSdk();
  m_liveBlock.Close();
  m_mixBlock.Close();
  m_castBlock.Close();
  m_cameraBlock.Close();
  m_subscriptions.RemoveAll();
  std::lock_guard<std::mutex> guard(m_frameMutex);
  free(m_pLastFrame);
  m_pLastFrame = nullptr;
}

int CSdkInterActive::LoadSdk() {
  if (m_hSdkLibrary) return 0;
  const std::wstring path = ProgramFolder() + L"OrvimSDK.dll";
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library) return -1;
  auto create = reinterpret_cast<CreateRTServiceFunc>(
      reinterpret_cast<void*>(GetProcAddress(library, "CreateRTService")));
  if (!create) {
    FreeLibrary(library);
    return -2;
  }
  m_hSdkLibrary = library;
  m_pService = create();
  return 0;
}

void CSdkInterActive::InitSDK() {
  const int ret = LoadSdk();
  if (ret == 0 && m_pService) {
    m_pRtcEngine = m_pService->CreateRtcEngine();
    TVLOG_INFO_THIS() << " Finish ret=" << 0;
  } else {
    TVLOG_ERROR_THIS() << " ret =" << ret;
  }
}

void CSdkInterActive::UnloadSdk() {
  if (!m_hSdkLibrary || !m_pService) return;
  auto release = reinterpret_cast<ReleaseRTServiceFunc>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_hSdkLibrary), "ReleaseRTService")));
  if (!release) return;
  release(m_pService);
  m_pService = nullptr;
  m_pRtcEngine = nullptr;
}

void CSdkInterActive::AddDevConsumer(DevConsumerDelegate* consumer) {
  std::lock_guard<std::mutex> guard(m_consumerMutex);
  m_consumers.push_back(consumer);
  m_nConsumerCount.store(static_cast<int32_t>(m_consumers.size()));
}

void CSdkInterActive::DelDevConsumer(DevConsumerDelegate* consumer) {
  std::lock_guard<std::mutex> guard(m_consumerMutex);
  m_consumers.erase(std::remove(m_consumers.begin(), m_consumers.end(), consumer), m_consumers.end());
  m_nConsumerCount.store(static_cast<int32_t>(m_consumers.size()));
}

bool CSdkInterActive::OutofMeeting(bool log) {
  if (m_bIn_meet.load()) return false;
  if (log) TVLOG_INFO_THIS() << " in_meet=" << 0;
  return true;
}

StMeetingIds CSdkInterActive::GetMeetingIds() {
  std::lock_guard<std::mutex> guard(m_idsMutex);
  return m_ids;
}

void CSdkInterActive::UpdateMeetingIds(const std::function<void(StMeetingIds&)>& change) {
  std::lock_guard<std::mutex> guard(m_idsMutex);
  change(m_ids);
}

StJoinInfo CSdkInterActive::GetJoinInfo() {
  std::lock_guard<std::mutex> guard(m_idsMutex);
  return m_joinInfo;
}

rtTarvo::rtc::MediaObject* CSdkInterActive::GetMedia() const {
  return m_pRtcEngine ? m_pRtcEngine->GetMediaObject() : nullptr;
}

rtTarvo::rtc::LiveControl* CSdkInterActive::GetLiveControl() const {
  return m_pRtcEngine ? m_pRtcEngine->GetLiveControl() : nullptr;
}

CSdkInterActive::StLiveState CSdkInterActive::GetLiveState() const {
  StLiveState state;
  state.subscribing = m_bLiveSubscribing.load();
  state.enabled = m_bLiveSubscribeEnabled.load();
  state.subscribed = m_bLiveSubscribed.load();
  state.width = m_nLiveWidth.load();
  state.height = m_nLiveHeight.load();
  state.audioMuted = m_bLiveAudioMuted.load();
  return state;
}

std::map<std::string, int32_t> CSdkInterActive::GetSubscribedStreams() {
  std::lock_guard<std::mutex> guard(m_subscribedMutex);
  return m_subscribedStreams;
}

std::vector<LocalVideoStream> CSdkInterActive::GetLocalVideoStreams() {
  std::lock_guard<std::mutex> guard(m_localVideoMutex);
  return m_localVideoStreams;
}

void CSdkInterActive::AppendLocalVideoStream(const LocalVideoStream& stream) {
  std::lock_guard<std::mutex> guard(m_localVideoMutex);
  m_localVideoStreams.push_back(stream);
}

std::vector<std::string> CSdkInterActive::GetRepublishStreams() {
  std::lock_guard<std::mutex> guard(m_republishMutex);
  return m_republishStreams;
}

std::vector<std::string> CSdkInterActive::GetResubscribeStreams() {
  std::lock_guard<std::mutex> guard(m_resubscribeMutex);
  return m_resubscribeStreams;
}

std::vector<std::string> CSdkInterActive::GetStreamOps() {
  std::lock_guard<std::mutex> guard(m_streamOpMutex);
  return m_streamOps;
}

void CSdkInterActive::AddStreamOp(const std::string& op) {
  std::lock_guard<std::mutex> guard(m_streamOpMutex);
  m_streamOps.push_back(op);
}

std::vector<std::string> CSdkInterActive::GetMediaShareUsers() {
  std::lock_guard<std::mutex> guard(m_mediaShareMutex);
  return m_mediaShareUsers;
}

void CSdkInterActive::AddMediaShareUser(const std::string& uid) {
  std::lock_guard<std::mutex> guard(m_mediaShareMutex);
  m_mediaShareUsers.push_back(uid);
}

bool CSdkInterActive::IsConnectionLost(bool publish) const {
  return publish ? m_bPublishConnectionLost.load() : m_bSubscribeConnectionLost.load();
}

std::string CSdkInterActive::GetSenderStreamId(int kind) {
  if (kind < 0 || kind > 1) return std::string();
  CxAutoLock hold(m_senderLock);
  return m_senders[kind].streamId;
}
