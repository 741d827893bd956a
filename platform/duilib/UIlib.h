#pragma once

// The UI library in one include: controls, layouts, the paint manager, layout loading,
// windows, the language table and the window shadow. Everything is in namespace DuiLib.

#include "platform/duilib/ui_base.h"
#include "platform/duilib/ui_builder.h"
#include "platform/duilib/ui_container.h"
#include "platform/duilib/ui_control.h"
#include "platform/duilib/ui_controls.h"
#include "platform/duilib/ui_language.h"
#include "platform/duilib/ui_list.h"
#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_render.h"
#include "platform/duilib/ui_shadow.h"
#include "platform/duilib/ui_window.h"
