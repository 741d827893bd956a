#pragma once

// CDialogBuilder: builds a control tree from an XML layout. A layout is either a window
// (<Window size=".." caption=".." ...> with <Font>, <Default> and one root control) or a
// sub-layout whose root element is a control. Element names are control classes ("Button",
// "VerticalLayout", ...); other names go to the window's control factory. Unknown elements and
// malformed attributes are logged and skipped; a malformed file, or one that nests controls
// deeper than 256 levels, builds nothing. UI thread only.

#include <string>

#include "platform/duilib/ui_base.h"

namespace DuiLib {

class IDialogBuilderCallback {
 public:
  // Returns a new control for a class the library does not know, or null.
  virtual CControlUI* CreateControl(const wchar_t* pstrClass) = 0;

 protected:
  ~IDialogBuilderCallback() = default;
};

class CDialogBuilder {
 public:
  // `xml` is a resource name ("xml/blue/x.xml", "\" or "/") or XML text starting with "<".
  // Window attributes go to `manager`; with `parent` (a container) the built root is added to
  // it. Returns the root control (owned by the caller unless added to a parent), or null.
  CControlUI* Create(const wchar_t* xml, const wchar_t* type = nullptr,
                     IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                     CControlUI* parent = nullptr);

  // Creates a library control from its element name ("Button"); null when unknown.
  static CControlUI* CreateBuiltinControl(const wchar_t* className);
};

}  // namespace DuiLib
