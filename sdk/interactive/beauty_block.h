#pragma once

#include "foundation/beauty_record.h"
#include "share/beauty/beauty_param.h"

// The beauty process's parameter block for the settings |beauty|: the six levels, the
// background level / 100, the key colour, the flags (bit 0 some level above 0, bit 1 the
// green-screen switch) and the background mode with the material path (UTF-8). Width, height
// and the frame counter stay 0: the beauty client fills them per frame.
StBeautyParam MakeBeautyParam(const st_beauty& beauty);
