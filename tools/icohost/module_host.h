#pragma once
// A host for format modules: loads one, finds its entry point through its
// property list and drives the open and save selector sequences the way a
// host does. One module stays loaded across operations, and its private
// data slot with it.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "carried/png_document.h"
#include "pipl_reader.h"
#include "platform/modules.h"
#include "sdk/format_record.h"

namespace icofmt::icohost {

// Results of the host itself, outside the module's codes.
struct HostError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ModuleHost {
 public:
  ModuleHost() = default;
  ModuleHost(const ModuleHost&) = delete;
  ModuleHost& operator=(const ModuleHost&) = delete;
  ~ModuleHost();

  // Throws HostError when the module cannot be loaded or has no format entry.
  void load(const std::string& path);
  const PiplInfo& pipl() const { return pipl_; }

  // Opens the file through the module: ReadPrepare, ReadStart, ReadContinue
  // until data is null, ReadFinish after a successful ReadStart. Returns the
  // module's result; doc holds the image on success.
  std::int16_t open(const std::string& path, carried::Document& doc);

  // How the host reaches the destination: a new file beside it that replaces
  // it only when the module succeeded (a failed save leaves the destination as
  // it was), or, as real hosts do, the destination itself truncated before
  // the write selectors.
  enum class Destination { Replace, InPlace };

  // Saves the document: the options sequence unless plainSave, the estimate
  // sequence, then the write sequence. Throws HostError when the file cannot
  // be made.
  std::int16_t save(const carried::Document& doc, const std::string& path, bool plainSave,
                    Destination destination = Destination::Replace);

  // The document's title, answered for the 'titl' property; by default the
  // absolute path of the file opened or saved.
  void setTitle(std::string title) { titleOverride_ = std::move(title); }

  // The hot spot the module gets for an image saved into a cursor, through
  // its own property; without one the module chooses it.
  void setHotSpot(int x, int y) { hotSpot_ = {x, y}; }

  // Handles the module left undisposed at the end of its last operation.
  std::size_t undisposedHandles() const { return undisposed_; }

  // Text of errReportString, when the module gave one.
  const std::string& reportedError() const { return reported_; }

  // The host's callbacks reach the running host through this.
  static ModuleHost* current();
  sdk::OSErr advanceState();
  sdk::Handle newHandle(std::int32_t size);
  void disposeHandle(sdk::Handle h);
  std::int32_t handleSize(sdk::Handle h) const;
  sdk::OSErr setHandleSize(sdk::Handle h, std::int32_t size);
  sdk::Ptr lockHandle(sdk::Handle h);
  sdk::OSErr getProperty(sdk::PIType signature, sdk::PIType key, std::int32_t index, std::intptr_t* simple,
                         sdk::Handle* complex);

 private:
  enum class Phase { Idle, Reading, Writing };
  // Exactly the bytes asked for: nothing behind them hides a read past the end.
  struct HostHandle {
    char* data = nullptr;  // first, so the Handle is the address of this pointer
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
  };

  void prepareRecord(const std::string& path, const std::string& title);
  std::int16_t call(std::int16_t selector);
  std::int16_t sequence(std::int16_t prepare, bool fill);
  void takeHeader(carried::Document& doc);
  void endOperation();
  [[noreturn]] void fatal(const std::string& what) const;
  HostHandle& known(sdk::Handle h, const char* proc);
  void moveBlock(bool intoDocument);
  bool requestPending() const;

  platform::ModuleHandle library_ = nullptr;
  sdk::PluginEntry entry_ = nullptr;
  PiplInfo pipl_;
  std::intptr_t pluginData_ = 0;
  std::unique_ptr<sdk::FormatRecord> record_;
  sdk::FSSpec spec_{};
  std::intptr_t platformData_[2] = {0, 0};
  sdk::Str255 errorString_{};
  std::string title_;
  std::optional<std::string> titleOverride_;
  std::optional<std::pair<int, int>> hotSpot_;
  std::size_t undisposed_ = 0;
  bool headerTaken_ = false;
  std::string blockFailure_;
  std::string reported_;
  Phase phase_ = Phase::Idle;
  carried::Document* document_ = nullptr;
  std::map<sdk::Handle, std::unique_ptr<HostHandle>> handles_;
};

}  // namespace icofmt::icohost
