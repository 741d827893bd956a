// A participant list of 2500 through the SDK layer (the user registry filled, then page event
// 12 in three pages of 1000, 1000 and 500 users) against printing the same three JSON texts with
// cJSON straight from the list.
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>

#include <string>
#include <vector>

#include "sdk/interactive/sdk_interactive.h"
#include "shell/jsevents/js_event_sender.h"

namespace {

constexpr int kUsers = 2500;
constexpr int kPage = 1000;

std::vector<rtTarvo::rtc::ParticipantInfo> MakeParticipants() {
  std::vector<rtTarvo::rtc::ParticipantInfo> list(kUsers);
  for (int i = 0; i < kUsers; ++i) {
    list[i].uid = "user" + std::to_string(i);
    list[i].cid = "cid" + std::to_string(i);
    list[i].name = "User " + std::to_string(i);
    list[i].platform = "windows";
    list[i].has_stream = true;
    list[i].stream_id = "stream" + std::to_string(i);
    list[i].id = "p" + std::to_string(i);
  }
  return list;
}

// The page: takes each event's text and keeps its length.
class CountingPage : public JsEventDelegate {
 public:
  void OnNativeInvokeJS(const std::string& json, bool) override { bytes += json.size(); }
  void DeferExitNotify(int, const std::string&, bool) override {}
  void OnShareStopped() override {}
  void RestoreIfNotMaximized() override {}
  size_t bytes = 0;
};

void BM_LayerParticipantList(benchmark::State& state) {
  const std::vector<rtTarvo::rtc::ParticipantInfo> participants = MakeParticipants();
  CountingPage page;
  CJsEventSender::Instance()->SetDelegate(&page);
  CSdkInterActive layer(nullptr);
  for (auto _ : state) layer.OnGetParticipantsSuccess(participants);
  CJsEventSender::Instance()->SetDelegate(nullptr);
  benchmark::DoNotOptimize(page.bytes);
  state.SetItemsProcessed(state.iterations() * kUsers);
}
BENCHMARK(BM_LayerParticipantList)->Unit(benchmark::kMillisecond);

void AddText(cJSON* object, const char* key, const std::string& value) {
  cJSON_AddStringToObject(object, key, value.c_str());
}

void BM_PlainCjsonPages(benchmark::State& state) {
  const std::vector<rtTarvo::rtc::ParticipantInfo> participants = MakeParticipants();
  size_t bytes = 0;
  for (auto _ : state) {
    for (int first = 0; first < kUsers; first += kPage) {
      cJSON* event = cJSON_CreateObject();
      cJSON_AddNumberToObject(event, "event", 12);
      cJSON* list = cJSON_AddArrayToObject(event, "list");
      for (int i = first; i < kUsers && i < first + kPage; ++i) {
        const rtTarvo::rtc::ParticipantInfo& p = participants[i];
        cJSON* item = cJSON_CreateObject();
        AddText(item, "name", p.name);
        AddText(item, "id", p.id);
        AddText(item, "gId", "");
        AddText(item, "gcId", "");
        AddText(item, "audioStatus", "active");
        AddText(item, "videoStatus", "active");
        AddText(item, "platform", p.platform);
        AddText(item, "streamId", p.stream_id);
        AddText(item, "uid", p.uid);
        AddText(item, "cid", p.cid);
        cJSON_AddItemToArray(list, item);
      }
      char* text = cJSON_Print(event);
      bytes += std::string(text).size();
      cJSON_free(text);
      cJSON_Delete(event);
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kUsers);
}
BENCHMARK(BM_PlainCjsonPages)->Unit(benchmark::kMillisecond);

}  // namespace
