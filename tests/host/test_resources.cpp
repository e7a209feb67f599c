// The test program's resources: the recording module as RESDLL, found by the
// platform layer under the same name as in the real module.
#include <fstream>
#include <iterator>
#include <vector>

#include "host_fixture.h"

namespace icofmt::test {

std::vector<std::uint8_t> recordingModuleBytes() {
  std::ifstream in(ICOFMT_RECORDING_MODULE, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {
const std::vector<std::uint8_t>& carriedBytes() {
  static const std::vector<std::uint8_t> bytes = recordingModuleBytes();
  return bytes;
}
}  // namespace

}  // namespace icofmt::test

extern "C" {
__attribute__((visibility("default"))) icofmt::platform::ResourceEntry icofmt_resources[] = {
    {icofmt::platform::kRcDataType, nullptr, 0, "RESDLL", icofmt::test::carriedBytes().data(),
     icofmt::test::carriedBytes().size()},
    {0, nullptr, 0, nullptr, nullptr, 0},
};
}

icofmt::platform::ResourceEntry& icofmt::test::carriedResourceEntry() { return icofmt_resources[0]; }

__attribute__((visibility("default"))) icofmt::test::Recorder* icofmt_test_recorder = nullptr;
