// The carried module of the in-process fuzz targets: accepts every selector
// and touches nothing. It is loaded and unloaded with every operation, so it
// carries no coverage counters (libFuzzer cannot follow an unloaded module);
// what the targets exercise is the module in front of it.
#include <cstdint>

#include "sdk/format_record.h"

extern "C" __attribute__((visibility("default"))) void ENTRYPOINT1(std::int16_t, icofmt::sdk::FormatRecord*,
                                                                   std::intptr_t*, std::int16_t* result) {
  if (result != nullptr) *result = 0;
}
