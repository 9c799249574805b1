#include "DailyRecord.h"

#include <cerrno>
#include <unistd.h>

bool SyncToDevice(int fileDescriptor) {
    // Data only: the file's times need not reach the disk for a row to survive a power cut.
    int result;
    do {
        result = ::fdatasync(fileDescriptor);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}
