#pragma once

// CSkinDialog: what the small dialogs of the settings and device windows share. Their layouts
// come from the skin archive that the program carries as a resource (not from a folder), and
// they find their controls by layout name with a type check. UI thread only.

#include "platform/duilib/UIlib.h"

class CSkinDialog : public DuiLib::WindowImplBase {
 protected:
  DuiLib::CDuiString GetSkinFolder() override { return DuiLib::CDuiString(); }
  DuiLib::UILIB_RESOURCETYPE GetResourceType() const override {
    return DuiLib::UILIB_ZIPRESOURCE;
  }
  UINT GetResourceID() const override;

  // The control named `name` when it has the interface `kind` ("Button", "Option", ...);
  // null when the layout has no such control.
  template <class T>
  T* FindAs(const wchar_t* name, const wchar_t* kind) {
    DuiLib::CControlUI* control = m_PaintManager.FindControl(name);
    return control ? static_cast<T*>(control->GetInterface(kind)) : nullptr;
  }
};
