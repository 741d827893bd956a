#pragma once

// A seam around the Direct3D and DXGI calls that build a graphics system: every such call first
// asks the gate, and a test may answer with a failure to see how that step fails. Without a
// test gate every call goes ahead.

#include <windows.h>

namespace pellix {

// `step` is the building step ("BulidDevice", "BuildBlendState", ...), `call` the call it is
// about to make ("CreateDXGIFactory", "CreateBlendState", ...).
using CallGate = HRESULT (*)(const char* step, const char* call);
void SetCallGateForTesting(CallGate gate);

// S_OK unless a test gate refuses the call.
HRESULT PassGate(const char* step, const char* call);

}  // namespace pellix
