#include "FuzzEntries.h"

// PRESMON_FUZZ_ENTRY names the entry point this executable fuzzes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return presmon::fuzz::PRESMON_FUZZ_ENTRY(data, size);
}
