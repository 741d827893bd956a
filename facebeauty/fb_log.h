// The library's log switch (zq_fb_native_log): the passes' and engines' detailed lines are
// printed on standard output only while it is on. Off at load. Any thread.
#pragma once

namespace QUENMAR_FACEBEAUTY {

void setLogEnabled(bool on);
bool logEnabled();
// printf to standard output (flushed) when the switch is on.
void logPrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace QUENMAR_FACEBEAUTY
