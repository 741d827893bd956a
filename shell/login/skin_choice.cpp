#include "shell/login/skin_choice.h"

#include <atomic>

namespace {

std::atomic<int> g_skin_index{kSkinBlue};

constexpr const wchar_t* kLayoutFiles[] = {
    L"main_frame.xml",       L"add_push_stream_frame.xml", L"anno_tools.xml",
    L"select_share.xml",     L"share_tools.xml",           L"av_test_frame.xml",
    L"beauty_set_frame.xml", L"device_change_frame.xml",   L"dev_tools.xml",
    L"doc_trans_frame.xml",  L"logsendframe.xml",          L"mask_lay_frame.xml",
    L"netsingal_frame.xml",  L"setting_frame.xml",         L"video_tools.xml",
    L"pick_tools.xml",       L"exit_meet_frame.xml",
};
constexpr int kLayoutCount = sizeof(kLayoutFiles) / sizeof(kLayoutFiles[0]);

}  // namespace

int GetSkinIndex() { return g_skin_index.load(); }

void SetSkinIndex(int index) {
  if (index == kSkinBlue || index == kSkinOrange) g_skin_index = index;
}

std::wstring GetSkinFile(int frame_index) {
  if (frame_index < 0 || frame_index >= kLayoutCount) return std::wstring();
  return std::wstring(GetSkinIndex() == kSkinOrange ? L"xml/orange/" : L"xml/blue/") +
         kLayoutFiles[frame_index];
}
