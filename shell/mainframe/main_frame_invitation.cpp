// The main window's part of a pasted meeting invitation (page request 8): the copied text, the
// redirect address of its link, read on a worker thread, and the login fields for the page.
// UI thread, except where noted.

#include <windows.h>

#include <string>
#include <utility>

#include "foundation/app_config.h"
#include "foundation/hub.h"
#include "foundation/log.h"
#include "foundation/text_convert.h"
#include "platform/duilib/UIlib.h"
#include "shell/invitation/invitation_text.h"
#include "shell/mainframe/main_frame.h"

namespace {

// The clipboard, open for the calling thread while the object lives.
class ClipboardScope {
 public:
  explicit ClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~ClipboardScope() {
    if (open_) CloseClipboard();
  }
  ClipboardScope(const ClipboardScope&) = delete;
  ClipboardScope& operator=(const ClipboardScope&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

// The clipboard's Unicode text, up to its first zero character; empty when it holds none.
std::wstring ReadClipboardText(HWND owner) {
  ClipboardScope clipboard(owner);
  if (!clipboard.open()) {
    TVLOG_WARN() << "the clipboard could not be opened: " << GetLastError();
    return std::wstring();
  }
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return std::wstring();
  const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
  if (text == nullptr) return std::wstring();
  // The block may be larger than its text, and a foreign one need not end in a zero.
  const size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  size_t length = 0;
  while (length < capacity && text[length] != L'\0') ++length;
  std::wstring copy(text, length);
  GlobalUnlock(data);
  return copy;
}

// The page hears the invitation's login fields, or that it is not usable.
void AnnounceInvitation(const std::wstring& text, const std::wstring& redirect) {
  const InvitationFields fields = ReadInvitationFields(text, redirect);
  if (fields.liveId.empty()) {
    CJsEventSender::Instance()->NotifyStatus(
        DuiLib::CMutiLanSupport::Instance()->GetTextForId(L"s.content.invalid").c_str(), 0);
    return;
  }
  const StAppConfig* config = GetAppConfig();
  CJsEventSender::Instance()->NotifyLoginParams(fields.liveId, fields.passCode, fields.guestId,
                                                "", config->external_id, config->remarks, false);
}

}  // namespace

void CMainFrame::PasteInvitation() {
  if (m_invitation.Busy()) {
    TVLOG_INFO_THIS() << "an invitation is being read; this request is ignored";
    return;
  }
  std::wstring text = TrimInvitationText(ReadClipboardText(m_hWnd));
  const std::string link = FindInvitationLink(text);
  if (link.empty()) {
    TVLOG_INFO_THIS() << "no invitation link in the copied text";
    AnnounceInvitation(text, std::wstring());
    return;
  }
  // The result comes back to the UI thread through the hub; the weak token drops it once this
  // window object is gone (its lookup is cancelled and collected as the object goes).
  std::weak_ptr<int> alive = m_alive;
  const bool started = m_invitation.Start(link, [this, alive, text](const std::string& address) {
    // Worker thread: touches nothing of the window.
    CxAdapter::Instance().GetUiThread().PostTask([this, alive, text, address] {
      if (!alive.lock()) return;
      m_invitation.Finish();
      AnnounceInvitation(text, AnsiToUnicode(address));
    });
  });
  if (!started) AnnounceInvitation(text, std::wstring());
}
