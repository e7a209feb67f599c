// The carried PNG module with each of its own allocations failing in turn,
// opening and saving through the reference host: ENTRYPOINT1 answers with a
// result code every time, never an exception or an abort, disposes of every
// handle it was given, and works again once memory is back (the asan
// preset's leak checker sees what it keeps). Its own program: it replaces the
// allocator, and fails only what the carried module asks for, so the host
// stays sound.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "carried_fixture.h"
#include "document_io.h"
#include "module_host.h"
#include "pixels/png_image.h"
#include "platform/files.h"
#include "platform/scripted.h"
#include "support/failing_allocator.h"

namespace icofmt::test {
namespace {

namespace fa = failing_allocator;

const void* carriedBase = nullptr;

bool fromCarriedModule(const void* caller) {
  Dl_info info{};
  return caller != nullptr && dladdr(caller, &info) != 0 && info.dli_fbase == carriedBase;
}

class CarriedFailureTest : public CarriedFixture {
 protected:
  void SetUp() override {
    CarriedFixture::SetUp();
    void* module = dlopen(ICOFMT_CARRIED_MODULE, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr);
    Dl_info info{};
    ASSERT_NE(dladdr(dlsym(module, "ENTRYPOINT1"), &info), 0);
    carriedBase = info.dli_fbase;
    fa::counts = fromCarriedModule;
    dlclose(module);
    PngImage png;
    png.Create(13, 7, PngColourType::Rgba);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13 * 4; ++x) png.Row(y)[x] = static_cast<std::uint8_t>(x * 7 + y);
    source = folder + "source.png";
    ASSERT_TRUE(platform::writeWholeFile(source, png.Encode()));
  }
  void TearDown() override { fa::counts = nullptr; }

  // Runs the operation with the carried module's n-th allocation failing,
  // for every n until one runs through; returns how many failed.
  template <typename Operation>
  int failEach(Operation operation) {
    long n = 0;
    return fa::failEachAllocation([&] {
      ++n;
      fa::armed = true;
      const std::int16_t result = operation();
      fa::armed = false;
      EXPECT_EQ(host.undisposedHandles(), 0u) << "allocation " << n;
      if (fa::failed)
        EXPECT_NE(result, 0) << "allocation " << n << " failed, yet the operation succeeded";
      else
        EXPECT_EQ(result, 0);
    });
  }

  std::string source;
};

TEST_F(CarriedFailureTest, EveryAllocationThatFailsGivesAResultCodeAndNothingLeft) {
  const int opens = failEach([&] {
    carried::Document doc;
    return host.open(source, doc);
  });
  EXPECT_GT(opens, 3);
  const carried::Document doc = icohost::readPngDocument(source, std::nullopt);
  for (bool plain : {true, false}) {
    const int saves = failEach([&] { return host.save(doc, folder + "saved.png", plain); });
    EXPECT_GT(saves, 3);
  }
}

}  // namespace
}  // namespace icofmt::test
