// The built POSIX module as a host sees it: loaded through the platform
// layer, found by its export, its resources and its carried module.
#include "host_fixture.h"
#include "resources/pipl_bytes.h"

namespace icofmt::test {
namespace {

TEST_F(HostTest, TheBuiltModuleCarriesItsPropertyListAndTheStandInModule) {
  platform::ModuleHandle module = platform::loadLibrary(ICOFMT_MODULE);
  ASSERT_NE(module, nullptr);
  auto pipl = platform::findResource(module, "PIPL", 16000);
  ASSERT_EQ(pipl.size(), 268u);
  EXPECT_TRUE(std::equal(pipl.begin(), pipl.end(), resources::kPiplX64.begin()));
  auto carried = platform::findResource(module, platform::kRcDataType, "RESDLL");
  auto standIn = platform::readWholeFile(ICOFMT_STAND_IN);
  ASSERT_TRUE(standIn.has_value());
  EXPECT_TRUE(std::equal(carried.begin(), carried.end(), standIn->begin(), standIn->end()));

  auto entry = reinterpret_cast<sdk::PluginEntry>(platform::findExport(module, "PluginMain"));
  ASSERT_NE(entry, nullptr);
  std::int16_t result = 7;
  entry(sdk::formatSelectorReadPrepare, &block, nullptr, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(platform::readWholeFile(carriedPath()), standIn);
  entry(sdk::formatSelectorReadFinish, &block, nullptr, &result);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(carriedExists());
  platform::unloadLibrary(module);
}

}  // namespace
}  // namespace icofmt::test
