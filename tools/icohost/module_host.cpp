#include "module_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/limits.h"
#include "platform/files.h"
#include "sdk/selectors.h"

namespace icofmt::icohost {

namespace {

ModuleHost* gCurrent = nullptr;

// The host's procedures. The module calls them with no context, so they
// reach the host that is running a selector right now.
extern "C" {
sdk::Boolean abortProc() { return 0; }
void progressProc(std::int32_t, std::int32_t) {}
sdk::OSErr advanceStateProc() { return gCurrent ? gCurrent->advanceState() : sdk::OSErr{sdk::paramErr}; }
sdk::Handle newHandleProc(std::int32_t size) { return gCurrent ? gCurrent->newHandle(size) : nullptr; }
void disposeHandleProc(sdk::Handle h) {
  if (gCurrent) gCurrent->disposeHandle(h);
}
std::int32_t getSizeProc(sdk::Handle h) { return gCurrent ? gCurrent->handleSize(h) : 0; }
sdk::OSErr setSizeProc(sdk::Handle h, std::int32_t size) {
  return gCurrent ? gCurrent->setHandleSize(h, size) : sdk::OSErr{sdk::nilHandleErr};
}
sdk::Ptr lockProc(sdk::Handle h, sdk::Boolean) { return gCurrent ? gCurrent->lockHandle(h) : nullptr; }
void unlockProc(sdk::Handle) {}
void recoverSpaceProc(std::int32_t) {}
sdk::OSErr getPropertyProc(sdk::PIType signature, sdk::PIType key, std::int32_t index, std::intptr_t* simple,
                           sdk::Handle* complex) {
  return gCurrent ? gCurrent->getProperty(signature, key, index, simple, complex)
                  : sdk::OSErr{sdk::errPlugInPropertyUndefined};
}
sdk::OSErr setPropertyProc(sdk::PIType, sdk::PIType, std::int32_t, std::intptr_t, sdk::Handle) {
  return sdk::errPlugInPropertyUndefined;
}
}

sdk::HandleProcs gHandleProcs = {sdk::kCurrentHandleProcsVersion,
                                 sdk::kCurrentHandleProcsCount,
                                 newHandleProc,
                                 disposeHandleProc,
                                 getSizeProc,
                                 setSizeProc,
                                 lockProc,
                                 unlockProc,
                                 recoverSpaceProc,
                                 disposeHandleProc};
sdk::PropertyProcs gPropertyProcs = {sdk::kCurrentPropertyProcsVersion, sdk::kCurrentPropertyProcsCount,
                                     getPropertyProc, setPropertyProc};

constexpr std::int16_t kNoTransparentIndex = 256;
constexpr std::int32_t kMaxData = 8 << 20;

// Sets the current host for the duration of a module call.
struct CurrentHost {
  ModuleHost* previous;
  explicit CurrentHost(ModuleHost* host) : previous(gCurrent) { gCurrent = host; }
  ~CurrentHost() { gCurrent = previous; }
};

}  // namespace

ModuleHost* ModuleHost::current() { return gCurrent; }

ModuleHost::~ModuleHost() {
  if (library_ != nullptr) platform::unloadLibrary(library_);
}

void ModuleHost::load(const std::string& path) {
  platform::ModuleHandle library = platform::loadLibrary(path);
  if (library == nullptr) throw HostError("cannot load the module " + path);
  auto bytes = platform::findResource(library, "PIPL", 16000);
  auto info = parsePipl(bytes);
  std::string problem;
  if (!info)
    problem = "has no plug-in property list";
  else if (info->kind != "8BIF")
    problem = "is no format module (kind '" + info->kind + "')";
  else if (info->entry.empty())
    problem = "names no entry point for this architecture";
  auto entry = problem.empty()
                   ? reinterpret_cast<sdk::PluginEntry>(platform::findExport(library, info->entry.c_str()))
                   : nullptr;
  if (problem.empty() && entry == nullptr) problem = "does not export " + info->entry;
  if (!problem.empty()) {
    platform::unloadLibrary(library);
    throw HostError("the module " + path + " " + problem);
  }
  if (library_ != nullptr) platform::unloadLibrary(library_);
  library_ = library;
  entry_ = entry;
  pipl_ = *info;
  pluginData_ = 0;
}

void ModuleHost::prepareRecord(const std::string& path, const std::string& title) {
  std::string full = std::filesystem::absolute(path).string();
  if (full.size() > 255) throw HostError("the path " + full + " is longer than 255 characters");
  record_ = std::make_unique<sdk::FormatRecord>();
  std::memset(record_.get(), 0, sizeof(sdk::FormatRecord));
  sdk::FormatRecord& r = *record_;
  spec_ = {};
  spec_.name[0] = static_cast<unsigned char>(full.size());
  std::memcpy(spec_.name + 1, full.data(), full.size());
  r.fileSpec = &spec_;
  r.abortProc = abortProc;
  r.progressProc = progressProc;
  r.maxData = kMaxData;
  r.imageHRes = r.imageVRes = 72 << 16;
  for (int i = 0; i < 16; ++i) r.planeMap[i] = static_cast<std::int16_t>(i);
  r.hostSig = sdk::kPhotoshopSignature;
  r.hostModes = static_cast<std::int16_t>(carried::kAllModes);
  r.hostNewHdl = newHandleProc;
  r.hostDisposeHdl = disposeHandleProc;
  r.platformData = platformData_;
  r.handleProcs = &gHandleProcs;
  r.advanceState = advanceStateProc;
  r.propertyProcs = &gPropertyProcs;
  r.errorString = &errorString_;
  r.transparentIndex = kNoTransparentIndex;
  // No file until the host opens one for the write selectors.
  r.dataFork = platform::kInvalidFile;
  title_ = titleOverride_ ? *titleOverride_ : title;
  reported_.clear();
}

std::int16_t ModuleHost::call(std::int16_t selector) {
  if (entry_ == nullptr) throw HostError("no module is loaded");
  CurrentHost scope(this);
  std::int16_t result = 0;
  errorString_[0] = 0;
  // A module may lower maxData at a Prepare; every Prepare offers it afresh.
  if (selector == sdk::formatSelectorReadPrepare || selector == sdk::formatSelectorOptionsPrepare ||
      selector == sdk::formatSelectorEstimatePrepare || selector == sdk::formatSelectorWritePrepare)
    record_->maxData = kMaxData;
  entry_(selector, record_.get(), &pluginData_, &result);
  if (result == sdk::errReportString)
    reported_.assign(reinterpret_cast<const char*>(errorString_ + 1), errorString_[0]);
  return result;
}

bool ModuleHost::requestPending() const {
  const sdk::FormatRecord& r = *record_;
  return r.data != nullptr && r.theRect.top < r.theRect.bottom && r.theRect.left < r.theRect.right;
}

void ModuleHost::moveBlock(bool intoDocument) {
  if (!requestPending() || document_ == nullptr) return;
  // The header stands once the first block is described, whether the module
  // hands it over from ReadStart or through advanceState within it.
  if (intoDocument && !headerTaken_) {
    takeHeader(*document_);
    headerTaken_ = true;
  }
  const sdk::FormatRecord& r = *record_;
  carried::Document& doc = *document_;
  const sdk::Rect rc = r.theRect;
  if (rc.top < 0 || rc.left < 0 || rc.bottom > doc.height || rc.right > doc.width || r.loPlane < 0 ||
      r.hiPlane < r.loPlane || r.hiPlane >= doc.planes)
    throw HostError("the module described a block outside the image");
  auto* base = static_cast<std::uint8_t*>(r.data);
  const std::ptrdiff_t rowBytes = r.rowBytes, colBytes = r.colBytes, planeBytes = r.planeBytes;
  if (doc.mode == carried::kModeBitmap) {
    for (int y = rc.top; y < rc.bottom; ++y) {
      std::uint8_t* line = base + (y - rc.top) * rowBytes;
      std::uint8_t* own = doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y);
      for (int x = rc.left; x < rc.right; ++x) {
        const int bx = x - rc.left;
        std::uint8_t& theirs = line[bx >> 3];
        std::uint8_t& ours = own[x >> 3];
        const std::uint8_t theirBit = static_cast<std::uint8_t>(0x80 >> (bx & 7));
        const std::uint8_t ourBit = static_cast<std::uint8_t>(0x80 >> (x & 7));
        if (intoDocument)
          ours = (theirs & theirBit) ? (ours | ourBit) : (ours & ~ourBit);
        else
          theirs = (ours & ourBit) ? (theirs | theirBit) : (theirs & ~theirBit);
      }
    }
    return;
  }
  for (int p = r.loPlane; p <= r.hiPlane; ++p) {
    const int channel = r.planeMap[p] >= 0 && r.planeMap[p] < doc.planes ? r.planeMap[p] : p;
    for (int y = rc.top; y < rc.bottom; ++y) {
      std::uint8_t* theirs = base + (y - rc.top) * rowBytes + (p - r.loPlane) * planeBytes;
      std::uint8_t* ours = doc.pixels.data() + doc.rowBytes() * static_cast<std::size_t>(y) +
                           static_cast<std::size_t>(rc.left) * static_cast<std::size_t>(doc.planes) +
                           static_cast<std::size_t>(channel);
      for (int x = rc.left; x < rc.right; ++x, theirs += colBytes, ours += doc.planes) {
        if (intoDocument)
          *ours = *theirs;
        else
          *theirs = *ours;
      }
    }
  }
}

sdk::OSErr ModuleHost::advanceState() {
  try {
    if (phase_ == Phase::Reading) moveBlock(true);
    if (phase_ == Phase::Writing) moveBlock(false);
    return sdk::noErr;
  } catch (const std::exception& e) {
    if (blockFailure_.empty()) blockFailure_ = e.what();
    return sdk::paramErr;
  }
}

void ModuleHost::takeHeader(carried::Document& doc) {
  const sdk::FormatRecord& r = *record_;
  doc = carried::Document{};
  doc.mode = r.imageMode;
  doc.width = r.imageSize.h;
  doc.height = r.imageSize.v;
  doc.planes = r.planes;
  const int depth = doc.mode == carried::kModeBitmap ? 1 : 8;
  if (doc.mode < carried::kModeBitmap || doc.mode > carried::kModeRgb || r.depth != depth)
    throw HostError("the module delivers an image mode or depth this host does not hold");
  if (doc.width < 1 || doc.height < 1 || static_cast<unsigned>(doc.width) > limits::kPngSideMax ||
      static_cast<unsigned>(doc.height) > limits::kPngSideMax || doc.planes < doc.colourPlanes() ||
      doc.planes > 16 || (doc.mode == carried::kModeBitmap && doc.planes != 1))
    throw HostError("the module delivers an image size or plane count this host does not hold");
  doc.alphaPlane = r.transparencyPlane > 0 && r.transparencyPlane < doc.planes ? r.transparencyPlane : -1;
  if (doc.mode == carried::kModeIndexed) {
    std::memcpy(doc.red.data(), r.redLUT, 256);
    std::memcpy(doc.green.data(), r.greenLUT, 256);
    std::memcpy(doc.blue.data(), r.blueLUT, 256);
    doc.lutCount = r.lutCount >= 1 && r.lutCount <= 256 ? r.lutCount : 256;
    doc.transparentIndex =
        r.transparentIndex >= 0 && r.transparentIndex < doc.lutCount ? r.transparentIndex : -1;
  }
  doc.pixels.assign(doc.rowBytes() * static_cast<std::size_t>(doc.height), 0);
}

std::int16_t ModuleHost::open(const std::string& path, carried::Document& doc) {
  prepareRecord(path, std::filesystem::absolute(path).string());
  sdk::FormatRecord& r = *record_;
  r.transparencyPlane = -1;
  platform::FileHandle file = platform::openFile(path, platform::FileAccess::Read, platform::FileShare::Read);
  if (file == platform::kInvalidFile) throw HostError("cannot open " + path);
  r.dataFork = file;
  struct Closer {
    platform::FileHandle f;
    ~Closer() { platform::closeFile(f); }
  } closer{file};
  struct End {
    ModuleHost* host;
    ~End() { host->endOperation(); }
  } end{this};

  carried::Document image;
  std::int16_t result = call(sdk::formatSelectorReadPrepare);
  if (result != 0) return result;
  // Blocks may arrive through advanceState while ReadStart runs.
  document_ = &image;
  phase_ = Phase::Reading;
  headerTaken_ = false;
  blockFailure_.clear();
  result = call(sdk::formatSelectorReadStart);
  if (result != 0) return result;
  std::string failure;
  try {
    if (!headerTaken_) {
      takeHeader(image);
      headerTaken_ = true;
    }
    moveBlock(true);
    // A module that never ends its blocks would keep us here for ever.
    std::int64_t calls = static_cast<std::int64_t>(image.height) * image.planes * image.width + 16;
    do {
      result = call(sdk::formatSelectorReadContinue);
      if (result != 0) break;
      moveBlock(true);
    } while (r.data != nullptr && --calls > 0);
    if (calls <= 0) failure = "the module never ended its blocks";
  } catch (const HostError& e) {
    failure = e.what();
  }
  if (failure.empty()) failure = blockFailure_;
  phase_ = Phase::Idle;
  document_ = nullptr;
  std::int16_t finish = call(sdk::formatSelectorReadFinish);
  if (!failure.empty()) throw HostError(failure);
  if (result == 0) result = finish;
  if (result == 0) doc = std::move(image);
  return result;
}

std::int16_t ModuleHost::sequence(std::int16_t prepare, bool fill) {
  std::int16_t result = call(prepare);
  if (result != 0) return result;
  // The module may ask for blocks through advanceState while Start runs.
  phase_ = fill ? Phase::Writing : Phase::Idle;
  blockFailure_.clear();
  result = call(static_cast<std::int16_t>(prepare + 1));
  if (result != 0) {
    phase_ = Phase::Idle;
    return result;
  }
  std::string failure;
  try {
    std::int64_t calls =
        document_ ? static_cast<std::int64_t>(document_->height) * document_->planes * document_->width + 16
                  : 16;
    while (requestPending() && calls-- > 0) {
      moveBlock(false);
      result = call(static_cast<std::int16_t>(prepare + 2));
      if (result != 0) break;
    }
    if (calls < 0) failure = "the module never ended its requests";
  } catch (const HostError& e) {
    failure = e.what();
  }
  if (failure.empty()) failure = blockFailure_;
  phase_ = Phase::Idle;
  std::int16_t finish = call(static_cast<std::int16_t>(prepare + 3));
  if (!failure.empty()) throw HostError(failure);
  return result != 0 ? result : finish;
}

std::int16_t ModuleHost::save(const carried::Document& doc, const std::string& path, bool plainSave,
                              Destination destination) {
  carried::validateDocument(doc);
  std::string full = std::filesystem::absolute(path).string();
  prepareRecord(path, full);
  struct End {
    ModuleHost* host;
    ~End() { host->endOperation(); }
  } end{this};
  sdk::FormatRecord& r = *record_;
  r.imageMode = static_cast<std::int16_t>(doc.mode);
  r.imageSize = {static_cast<std::int16_t>(doc.height), static_cast<std::int16_t>(doc.width)};
  r.depth = doc.mode == carried::kModeBitmap ? 1 : 8;
  r.planes = static_cast<std::int16_t>(doc.planes);
  std::memcpy(r.redLUT, doc.red.data(), 256);
  std::memcpy(r.greenLUT, doc.green.data(), 256);
  std::memcpy(r.blueLUT, doc.blue.data(), 256);
  // Hosts describe a Gray document's levels as a grey ramp.
  if (doc.mode == carried::kModeGray)
    for (int i = 0; i < 256; ++i) r.redLUT[i] = r.greenLUT[i] = r.blueLUT[i] = static_cast<std::uint8_t>(i);
  if (doc.mode == carried::kModeIndexed) r.lutCount = doc.lutCount >= 1 ? doc.lutCount : 256;
  r.transparentIndex = doc.transparentIndex >= 0 ? doc.transparentIndex : kNoTransparentIndex;
  r.transparencyPlane = doc.effectiveAlphaPlane() > 0 ? doc.effectiveAlphaPlane() : 0;
  // The module may write into the pixels it asks for only through its own
  // buffer; the host's copy stays as the caller gave it.
  carried::Document copy = doc;
  document_ = &copy;
  struct Release {
    ModuleHost* host;
    ~Release() { host->document_ = nullptr; }
  } release{this};

  std::int16_t result = 0;
  if (!plainSave) result = sequence(sdk::formatSelectorOptionsPrepare, true);
  if (result == 0) result = sequence(sdk::formatSelectorEstimatePrepare, true);
  if (result != 0) return result;

  const bool inPlace = destination == Destination::InPlace;
  const std::string target = inPlace ? full : full + ".icohost-tmp";
  platform::FileHandle file =
      platform::createFile(target, platform::FileAccess::ReadWrite, platform::FileShare::None);
  if (file == platform::kInvalidFile) throw HostError("cannot create " + target);
  r.dataFork = file;
  std::string failure;
  try {
    result = sequence(sdk::formatSelectorWritePrepare, true);
  } catch (const HostError& e) {
    failure = e.what();
  }
  r.dataFork = platform::kInvalidFile;
  platform::closeFile(file);
  if (inPlace) {
    if (!failure.empty()) throw HostError(failure);
    return result;
  }
  if (result == 0 && failure.empty()) {
    std::error_code error;
    std::filesystem::rename(target, full, error);
    if (!error) return 0;
    failure = "cannot replace " + full + ": " + error.message();
  }
  platform::deleteFile(target);
  if (!failure.empty()) throw HostError(failure);
  return result;
}

void ModuleHost::endOperation() {
  undisposed_ = handles_.size();
  if (undisposed_ > 0)
    std::fprintf(stderr, "icohost: the module left %zu handle%s undisposed\n", undisposed_,
                 undisposed_ == 1 ? "" : "s");
  handles_.clear();
}

// A module that misuses handles would corrupt a real host's memory; nothing
// after that can be trusted, so the host stops at once.
void ModuleHost::fatal(const std::string& what) const {
  std::fprintf(stderr, "icohost: %s\n", what.c_str());
  std::fflush(stderr);
  std::exit(1);
}

ModuleHost::HostHandle& ModuleHost::known(sdk::Handle h, const char* proc) {
  auto it = handles_.find(h);
  if (it == handles_.end())
    fatal(std::string("the module passed ") + proc + " a handle the host does not hold");
  return *it->second;
}

sdk::Handle ModuleHost::newHandle(std::int32_t size) {
  if (size < 0 || size > kMaxData) return nullptr;
  auto handle = std::make_unique<HostHandle>();
  handle->bytes.reset(new char[static_cast<std::size_t>(size)]());
  handle->size = static_cast<std::size_t>(size);
  handle->data = handle->bytes.get();
  sdk::Handle key = &handle->data;
  handles_[key] = std::move(handle);
  return key;
}

void ModuleHost::disposeHandle(sdk::Handle h) {
  if (h == nullptr) return;
  known(h, "disposeProc");
  handles_.erase(h);
}

std::int32_t ModuleHost::handleSize(sdk::Handle h) const {
  auto it = handles_.find(h);
  if (it == handles_.end()) fatal("the module asked the size of a handle the host does not hold");
  return static_cast<std::int32_t>(it->second->size);
}

sdk::OSErr ModuleHost::setHandleSize(sdk::Handle h, std::int32_t size) {
  HostHandle& handle = known(h, "setSizeProc");
  if (size < 0 || size > kMaxData) return sdk::memFullErr;
  std::unique_ptr<char[]> bytes(new char[static_cast<std::size_t>(size)]());
  std::memcpy(bytes.get(), handle.bytes.get(), std::min(handle.size, static_cast<std::size_t>(size)));
  handle.bytes = std::move(bytes);
  handle.size = static_cast<std::size_t>(size);
  handle.data = handle.bytes.get();
  return sdk::noErr;
}

sdk::Ptr ModuleHost::lockHandle(sdk::Handle h) { return known(h, "lockProc").data; }

sdk::OSErr ModuleHost::getProperty(sdk::PIType signature, sdk::PIType key, std::int32_t,
                                   std::intptr_t* simple, sdk::Handle* complex) {
  if (signature == sdk::kIcofmtSignature && key == sdk::propCursorHotSpot && hotSpot_ && simple != nullptr) {
    *simple = static_cast<std::intptr_t>(static_cast<std::uint32_t>(hotSpot_->first) << 16 |
                                         static_cast<std::uint32_t>(hotSpot_->second));
    return sdk::noErr;
  }
  if (signature != sdk::kPhotoshopSignature) return sdk::errPlugInPropertyUndefined;
  if (key == sdk::propTitle) {
    if (complex == nullptr) return sdk::paramErr;
    // The characters alone: no length byte, no terminator.
    sdk::Handle h = newHandle(static_cast<std::int32_t>(title_.size()));
    std::memcpy(*h, title_.data(), title_.size());
    *complex = h;
    return sdk::noErr;
  }
  if (key == sdk::fourCC("mode") && simple != nullptr && record_) {
    *simple = record_->imageMode;
    return sdk::noErr;
  }
  return sdk::errPlugInPropertyUndefined;
}

}  // namespace icofmt::icohost
