#include "DailyRecord.h"

#include <io.h>
#include <windows.h>

bool SyncToDevice(int fileDescriptor) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fileDescriptor));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}
