#include "windows/common/skin_dialog.h"

#include "skin_resource.h"

UINT CSkinDialog::GetResourceID() const { return kSkinResourceId; }
