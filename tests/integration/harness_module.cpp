// A format module that uses the host interface the ways real modules do and
// that careless hosts get wrong: blocks handed over through advanceState
// within ReadStart and WriteStart, handles, the title property and maxData.
// ICOFMT_HARNESS names the behaviour; what it saw is exported for the test.
#include <cstdlib>
#include <cstring>
#include <string>

#include "carried/png_pipl.h"
#include "platform/modules.h"
#include "resources/pipl_bytes.h"
#include "sdk/format_record.h"
#include "sdk/selectors.h"

using namespace icofmt::sdk;

namespace {

constexpr auto kPipl = sizeof(void*) == 8
                           ? icofmt::resources::detail::piplBytes(ICOFMT_PNG_PIPL(ICOFMT_PIPL_KEY_X64))
                           : icofmt::resources::detail::piplBytes(ICOFMT_PNG_PIPL(ICOFMT_PIPL_KEY_X86));

constexpr int kWidth = 4, kHeight = 2, kPlanes = 3;
unsigned char buffer[kWidth * kHeight * kPlanes];

std::string behaviour() {
  const char* b = std::getenv("ICOFMT_HARNESS");
  return b ? b : "";
}

void describeWholeImage(FormatRecord& r) {
  r.theRect = {0, 0, kHeight, kWidth};
  r.loPlane = 0;
  r.hiPlane = kPlanes - 1;
  r.colBytes = kPlanes;
  r.rowBytes = kWidth * kPlanes;
  r.planeBytes = 1;
  r.data = buffer;
}

OSErr readStart(FormatRecord& r) {
  r.imageMode = plugInModeRGBColor;
  r.imageSize = {kHeight, kWidth};
  r.depth = 8;
  r.planes = kPlanes;
  for (std::size_t i = 0; i < sizeof buffer; ++i) buffer[i] = static_cast<unsigned char>(i + 1);
  describeWholeImage(r);
  OSErr e = r.advanceState();
  r.data = nullptr;
  return e;
}

// Answers whether the host filled the block while WriteStart ran.
OSErr writeStart(FormatRecord& r) {
  std::memset(buffer, 0, sizeof buffer);
  describeWholeImage(r);
  OSErr e = r.advanceState();
  r.data = nullptr;
  r.theRect = {0, 0, 0, 0};
  if (e != noErr) return e;
  for (unsigned char b : buffer)
    if (b != 0) return noErr;
  return writErr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const icofmt::platform::ResourceEntry icofmt_resources[] = {
    {0, "PIPL", 16000, nullptr, kPipl.data(), kPipl.size()},
    {0, nullptr, 0, nullptr, nullptr, 0},
};

extern "C" {
// What the module saw, for the test that loads it too.
__attribute__((visibility("default"))) char harnessTitle[512];
__attribute__((visibility("default"))) std::int32_t harnessTitleSize = -1;
__attribute__((visibility("default"))) std::int32_t harnessMaxData = -1;
__attribute__((visibility("default"))) std::intptr_t harnessDataFork[17];

__attribute__((visibility("default"))) void ENTRYPOINT1(std::int16_t selector, FormatRecord* r,
                                                        std::intptr_t*, std::int16_t* result) {
  *result = noErr;
  if (selector > 0 && selector < 17) harnessDataFork[selector] = r->dataFork;
  const std::string b = behaviour();
  if (selector == formatSelectorReadPrepare || selector == formatSelectorWritePrepare) {
    harnessMaxData = r->maxData;
    r->maxData = 0;
  }
  if (selector == formatSelectorReadPrepare && b == "title") {
    Handle title = nullptr;
    if (r->propertyProcs->getPropertyProc(kPhotoshopSignature, propTitle, 0, nullptr, &title) == noErr) {
      harnessTitleSize = r->handleProcs->getSizeProc(title);
      std::memcpy(harnessTitle, r->handleProcs->lockProc(title, 0),
                  static_cast<std::size_t>(harnessTitleSize));
      r->handleProcs->unlockProc(title);
      // Left undisposed on purpose: the host is to notice.
    }
  }
  if (selector == formatSelectorReadPrepare && b == "dispose-twice") {
    Handle h = r->handleProcs->newProc(4);
    r->handleProcs->disposeProc(h);
    r->handleProcs->disposeProc(h);
  }
  if (selector == formatSelectorReadStart) *result = readStart(*r);
  if (selector == formatSelectorReadContinue) r->data = nullptr;
  if (selector == formatSelectorWriteStart) *result = writeStart(*r);
}
}
