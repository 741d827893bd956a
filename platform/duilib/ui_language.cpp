#include "platform/duilib/ui_language.h"

#include <pugixml.hpp>

#include <set>

#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_resource.h"

namespace DuiLib {

namespace {

// A language table file larger than this is not read.
constexpr size_t kMaxTableBytes = 16u << 20;

}  // namespace

CMutiLanSupport* CMutiLanSupport::Instance() {
  static CMutiLanSupport instance;
  return &instance;
}

bool CMutiLanSupport::LoadFromResFile(UINT resourceId, const wchar_t* file, bool fromZip,
                                      const wchar_t* language, const wchar_t* folder) {
  if (!file || !language) return false;
  std::string bytes;
  bool read = false;
  if (fromZip) {
    read = CResourceStore::ReadFromZipResource(CPaintManagerUI::GetInstance(), resourceId, file,
                                               &bytes);
  } else {
    std::wstring name = file;
    size_t slash = name.find_last_of(L"\\/");
    if (folder && *folder) {
      name = std::wstring(folder) + L"\\" +
             (slash == std::wstring::npos ? name : name.substr(slash + 1));
    }
    read = ReadWholeFile(ResourceFilePath(name), kMaxTableBytes, &bytes);
  }
  if (!read) {
    UiLog(UiLogLevel::kError, L"language table '%ls' not found", file);
    return false;
  }
  return LoadFromXml(bytes, language);
}

bool CMutiLanSupport::LoadFromXml(const std::string& xml, const wchar_t* language) {
  pugi::xml_document doc;
  pugi::xml_parse_result result = doc.load_buffer(xml.data(), xml.size());
  if (!result) {
    UiLog(UiLogLevel::kError, L"language table is malformed: %hs at offset %d",
          result.description(), static_cast<int>(result.offset));
    return false;
  }
  pugi::xml_node table = doc.document_element().child(WideToUtf8(language).c_str());
  if (!table) {
    UiLog(UiLogLevel::kError, L"language table has no language '%ls'", language);
    return false;
  }
  std::map<std::wstring, std::wstring> texts;
  for (pugi::xml_node text : table.children("Text")) {
    texts[Utf8ToWide(text.attribute("id").value())] = Utf8ToWide(text.attribute("value").value());
  }
  m_texts.swap(texts);
  m_sLanguage = language;
  CPaintManagerUI::InvalidateAll();
  return true;
}

CDuiString CMutiLanSupport::GetTextForId(const wchar_t* id) const {
  if (!id) return CDuiString();
  auto it = m_texts.find(id);
  if (it != m_texts.end()) return it->second;
  static std::set<std::wstring> reported;
  if (reported.insert(id).second) {
    UiLog(UiLogLevel::kWarning, L"text id '%ls' is not in the language table (%ls)", id,
          m_sLanguage.c_str());
  }
  return CDuiString();
}

}  // namespace DuiLib
