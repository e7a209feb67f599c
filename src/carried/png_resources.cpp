// The carried module's resource table on POSIX: its own property list.
#include <cstddef>

#include "carried/png_pipl.h"
#include "platform/modules.h"
#include "resources/pipl_bytes.h"

namespace {

constexpr auto kPipl = sizeof(void*) == 8
                           ? icofmt::resources::detail::piplBytes(ICOFMT_PNG_PIPL(ICOFMT_PIPL_KEY_X64))
                           : icofmt::resources::detail::piplBytes(ICOFMT_PNG_PIPL(ICOFMT_PIPL_KEY_X86));

}  // namespace

extern "C" __attribute__((visibility("default"))) const icofmt::platform::ResourceEntry icofmt_resources[] = {
    {0, "PIPL", 16000, nullptr, kPipl.data(), kPipl.size()},
    {0, nullptr, 0, nullptr, nullptr, 0},
};
