// Every text that the small dialogs show exists in each of the program's languages; the device
// prompts keep the place of the device name.
#include <gtest/gtest.h>

#include <string>

#include "platform/duilib/UIlib.h"

using DuiLib::CMutiLanSupport;

namespace {

const wchar_t* const kDialogTextIds[] = {
    L"s.tips", L"s.ok", L"s.cancel", L"s.av.nodev",
    // device change
    L"s.dev.hotplug", L"s.dev.hotplug.video", L"s.dev.hotplug.mic", L"s.ikonw", L"s.quickset",
    // exit and update confirmation
    L"s.end.live.tips", L"s.end.live.sure", L"s.leave.live", L"s.update.ver.tip",
    // document conversion mode
    L"s.doc.trans", L"s.doc.trans.server", L"s.doc.trans.local", L"s.doc.trans.sertip",
    L"s.doc.trans.loctip", L"s.doc.trans.ver1", L"s.doc.trans.ver2",
    // mask layer, log-send wait
    L"s.skip.test", L"s.log.sending",
    // push address
    L"s.add.push", L"s.platname", L"s.push.address", L"s.resolution", L"s.please.input",
    L"s.platname.tips", L"s.platname2.tips", L"s.stream.address.tips", L"s.fhd", L"s.hd", L"s.sd",
    // network signal
    L"s.net.title", L"s.net.local", L"s.net.remote", L"s.kbps", L"s.send.pkg", L"s.recv.pkg",
    L"s.loss.pkg", L"s.loss.pkgrate", L"s.dot.solution", L"s.frame.rate", L"s.encode"};

}  // namespace

TEST(DialogTextsTest, EveryLanguageHasEveryText) {
  CMutiLanSupport* table = CMutiLanSupport::Instance();
  for (const wchar_t* language : {L"zh_CN", L"zh_TW", L"en_US"}) {
    ASSERT_TRUE(table->LoadFromResFile(130, L"xml\\language.xml", true, language, L"xml"));
    for (const wchar_t* id : kDialogTextIds) {
      EXPECT_FALSE(table->GetTextForId(id).empty()) << std::wstring(language) << " " << id;
    }
    for (const wchar_t* id : {L"s.dev.hotplug", L"s.dev.hotplug.video", L"s.dev.hotplug.mic"}) {
      const std::wstring text = table->GetTextForId(id);
      EXPECT_EQ(text.find(L"%s"), text.rfind(L"%s")) << std::wstring(language) << " " << id;
      EXPECT_NE(text.find(L"%s"), std::wstring::npos) << std::wstring(language) << " " << id;
    }
  }
}
