// A carried module that keeps the ENTRYPOINT1 contract and does nothing else:
// every selector succeeds. It holds the place of the PNG format module.
#include <cstdint>

#include "sdk/format_record.h"

#if defined(_WIN32)
#define ICOFMT_EXPORT __declspec(dllexport)
#else
#define ICOFMT_EXPORT __attribute__((visibility("default")))
#endif

extern "C" ICOFMT_EXPORT void ENTRYPOINT1(std::int16_t, icofmt::sdk::FormatRecord*, std::intptr_t*,
                                          std::int16_t* result) {
  if (result != nullptr) *result = 0;
}
