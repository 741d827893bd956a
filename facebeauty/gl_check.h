// GL error check after a step: reads the pending errors, printing
// "after <step>() glError (0x<code>)" for each, and says whether there were any. The number of
// reads is bounded: without a usable context glGetError may keep answering.
#pragma once

namespace QUENMAR_FACEBEAUTY {

bool glFailed(const char* step);

}  // namespace QUENMAR_FACEBEAUTY
