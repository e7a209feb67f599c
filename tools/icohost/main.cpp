// icohost: the reference host on the command line. It opens a file through a
// format module and writes the image as PNG, or saves a PNG through a module.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "check.h"
#include "document_io.h"
#include "inspect.h"
#include "module_host.h"
#include "open/form_select.h"
#include "options.h"
#include "platform/folders.h"
#include "platform/scripted.h"
#include "save/options_form.h"
#include "sdk/pipl_keys.h"

namespace icofmt::icohost {
namespace {

std::string defaultModule() {
#if defined(_WIN32)
  return platform::hostProgramFolder() + "icofmt.8bi";
#else
  return platform::hostProgramFolder() + "icofmt.so";
#endif
}

// The answers become actions of the scripted user, played in order against
// whichever form waits; what is left unanswered is confirmed.
void scriptAnswers(const Options& o, const std::vector<int>& sides) {
  if (o.interactive) return;
  using Action = platform::scripted::UserAction;
  namespace select_form = open::select_controls;
  namespace options_form = save::options_controls;
  std::vector<Action> actions;
  if (o.pick) actions.push_back({Action::Kind::Select, select_form::kImageList, *o.pick - 1});
  if (!o.deletions.empty()) {
    for (int n : o.deletions) actions.push_back({Action::Kind::CheckItem, options_form::kImageList, n - 1});
    actions.push_back({Action::Kind::Click, options_form::kDelete, -1});
  }
  if (o.depthItem) actions.push_back({Action::Kind::Select, options_form::kDepth, *o.depthItem});
  if (o.add) actions.push_back({Action::Kind::Uncheck, options_form::kReplaceExact, -1});
  if (o.png)
    actions.push_back(
        {*o.png ? Action::Kind::Check : Action::Kind::Uncheck, options_form::kPngCompression, -1});
  for (int side : sides) actions.push_back({Action::Kind::Check, save::smallerSizeControl(side), -1});
  if (o.cancel) actions.push_back({Action::Kind::Escape, "", -1});
  platform::scripted::setUserActions(actions);
  platform::scripted::setConfirmUnscripted(true);
}

void printMessageBoxes() {
  for (const auto& box : platform::scripted::messageBoxes())
    std::fprintf(stderr, "icohost: message box \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
#if defined(_WIN32)
  for (const auto& caption : platform::scripted::drivenForms())
    std::fprintf(stderr, "icohost: answered the form \"%s\"\n", caption.c_str());
#endif
}

std::string modeNames(std::uint8_t modes) {
  std::string out;
  const std::pair<std::uint8_t, const char*> names[] = {{sdk::pipl::kModeBitmap, "bitmap"},
                                                        {sdk::pipl::kModeGrayScale, "gray"},
                                                        {sdk::pipl::kModeIndexedColor, "indexed"},
                                                        {sdk::pipl::kModeRGBColor, "rgb"}};
  for (const auto& [bit, name] : names)
    if (modes & bit) out += std::string(out.empty() ? "" : " ") + name;
  return out;
}

void printInfo(const PiplInfo& p, const std::string& path) {
  auto join = [](const std::vector<std::string>& v) {
    std::string s;
    for (const auto& e : v) s += (s.empty() ? "" : " ") + e;
    return s;
  };
  std::printf("module:      %s\n", path.c_str());
  std::printf("kind:        %s\n", p.kind.c_str());
  std::printf("name:        %s\n", p.name.c_str());
  std::printf("version:     %u.%u\n", p.version >> 16, p.version & 0xFFFF);
  std::printf("entry:       %s\n", p.entry.c_str());
  std::printf("modes:       %s\n", modeNames(p.modes).c_str());
  std::printf("reads:       %s\n", join(p.readExtensions).c_str());
  std::printf("writes:      %s\n", join(p.writeExtensions).c_str());
  std::printf("flags:       0x%02X\n", p.formatFlags);
  if (p.maxRows > 0) std::printf("max size:    %d x %d\n", p.maxColumns, p.maxRows);
}

// An answer that names no image would be ignored by the form: the user is
// told which images there are instead.
void checkNamedImages(const std::string& file, const std::vector<int>& numbers, const char* flag,
                      bool asDestination) {
  if (numbers.empty()) return;
  const int highest = *std::max_element(numbers.begin(), numbers.end());
  // Short of `highest`, the count is exact: every PNG entry was decoded.
  const int count = imagesOffered(file, asDestination, highest);
  if (count >= highest) return;
  // A file that is no icon is the module's to refuse.
  if (count == 0 && !asDestination) return;
  for (int n : numbers) {
    if (n <= count) continue;
    if (count == 0)
      throw Usage(file + " has no images, so " + flag + " " + std::to_string(n) + " names none");
    throw Usage(file + " has " + std::to_string(count) + " image" + (count == 1 ? "" : "s") + " (" +
                (count == 1 ? std::string("1") : "1 to " + std::to_string(count)) + "), so " + flag + " " +
                std::to_string(n) + " names none");
  }
}

// A host offers a format only for documents it declares it takes.
bool fitsModule(const PiplInfo& p, const carried::Document& doc, const std::string& picture) {
  if (p.maxRows <= 0 || p.maxColumns <= 0 || (doc.width <= p.maxColumns && doc.height <= p.maxRows))
    return true;
  std::fprintf(
      stderr, "icohost: the module takes images up to %d \u00d7 %d (its property list); %s is %d \u00d7 %d\n",
      p.maxColumns, p.maxRows, picture.c_str(), doc.width, doc.height);
  return false;
}

// The form offers only sizes smaller than the picture: one as large is the
// picture itself, a larger one is a mistake, and a shorthand takes what fits.
std::vector<int> smallerSides(const Options& o, const carried::Document& doc) {
  const int largest = std::max(doc.width, doc.height);
  std::vector<int> sides;
  for (int side : o.sizes) {
    if (side > largest && !o.sizesShorthand)
      throw Usage("--sizes " + std::to_string(side) + " is larger than the " + std::to_string(doc.width) +
                  " x " + std::to_string(doc.height) + " picture");
    if (side < largest && std::find(sides.begin(), sides.end(), side) == sides.end()) sides.push_back(side);
  }
  return sides;
}

bool namesCursor(const std::string& file) {
  std::string ending = file.size() >= 4 ? file.substr(file.size() - 4) : file;
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ending == ".cur";
}

// A hot spot belongs to a cursor: an existing cursor file or a new file
// named as one. It lies inside the picture.
void checkHotSpot(const Options& o, const carried::Document& doc) {
  if (!o.hotSpot) return;
  const std::string& file = o.files[1];
  const bool cursor = isCursor(file) || (imagesOffered(file, true) == 0 && namesCursor(file));
  if (!cursor)
    throw Usage("--hotspot is for cursors, and " + file + " is no cursor file nor a new .cur file");
  if (o.hotSpot->first >= doc.width || o.hotSpot->second >= doc.height)
    throw Usage("--hotspot " + std::to_string(o.hotSpot->first) + "," + std::to_string(o.hotSpot->second) +
                " lies outside the " + std::to_string(doc.width) + " x " + std::to_string(doc.height) +
                " picture");
}

int run(const Options& o) {
  if (o.command == "check") return checkFiles(o.files, o.json);
  requireRegularFiles(o);
  if (o.command == "open" && o.pick) checkNamedImages(o.files[0], {*o.pick}, "--pick", false);
  if (o.command == "save") checkNamedImages(o.files[1], o.deletions, "--delete", true);
  ModuleHost host;
  const std::string module = o.module.empty() ? defaultModule() : o.module;
  host.load(module);
  if (o.command == "info") {
    printInfo(host.pipl(), module);
    return 0;
  }
  if (o.title) host.setTitle(*o.title);
  std::int16_t result = 0;
  if (o.command == "open") {
    scriptAnswers(o, {});
    carried::Document doc;
    result = host.open(o.files[0], doc);
    printMessageBoxes();
    if (result == 0) writePngDocument(doc, o.output);
  } else {
    // Scaled before the mode is forced: a Bitmap picture is diffused at its final size.
    carried::Document doc = readPngDocument(o.files[0], o.fit ? std::nullopt : o.mode);
    const PiplInfo& pipl = host.pipl();
    if (o.fit)
      doc = fitDocument(doc, pipl.maxColumns > 0 ? pipl.maxColumns : doc.width,
                        pipl.maxRows > 0 ? pipl.maxRows : doc.height, o.mode);
    checkHotSpot(o, doc);
    if (!fitsModule(pipl, doc, o.files[0])) {
      std::fprintf(stderr, "icohost: --fit scales it down to fit first\n");
      return 1;
    }
    scriptAnswers(o, smallerSides(o, doc));
    if (o.hotSpot) host.setHotSpot(o.hotSpot->first, o.hotSpot->second);
    result = host.save(doc, o.files[1], o.plainSave,
                       o.inPlace ? ModuleHost::Destination::InPlace : ModuleHost::Destination::Replace);
    printMessageBoxes();
  }
  if (result != 0) {
    std::fprintf(stderr, "icohost: the module returned %d\n", result);
    if (!host.reportedError().empty()) std::fprintf(stderr, "icohost: %s\n", host.reportedError().c_str());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace icofmt::icohost

int main(int argc, char** argv) { return icofmt::icohost::runCommandLine(argc, argv, icofmt::icohost::run); }
