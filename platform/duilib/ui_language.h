#pragma once

// CMutiLanSupport: the multi-language text table. The table file (XML) holds one element per
// language, each with <Text id="s.xxx" value="..."/> entries:
//   <Language><zh_CN><Text id="s.main.title" value="..."/></zh_CN><en_US>...</en_US></Language>
// Controls bound to a text id ("textid" attribute) show the current language's text and are
// repainted when another language is loaded. UI thread only.

#include <windows.h>

#include <map>
#include <string>

#include "platform/duilib/ui_base.h"

namespace DuiLib {

class CMutiLanSupport {
 public:
  static CMutiLanSupport* Instance();

  // Loads `language` ("zh_CN", "zh_TW", "en_US") from the table `file` ("xml\language.xml"):
  // from the ZIP resource `resourceId` (type L"ZIPRES") of the instance module when `fromZip`,
  // else from the file `folder`\<file name> under the resource path. On failure (logged) the
  // previous table stays and false is returned.
  bool LoadFromResFile(UINT resourceId, const wchar_t* file, bool fromZip, const wchar_t* language,
                       const wchar_t* folder);
  // Loads a table from XML text (UTF-8).
  bool LoadFromXml(const std::string& xml, const wchar_t* language);

  // The text for `id` in the current language; an empty text (logged once) when unknown.
  CDuiString GetTextForId(const wchar_t* id) const;
  CDuiString GetLanguage() const { return m_sLanguage; }

 private:
  std::map<std::wstring, std::wstring> m_texts;
  CDuiString m_sLanguage;
};

}  // namespace DuiLib
