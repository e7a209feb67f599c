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
#include "platform/folders.h"
#include "platform/scripted.h"
#include "sdk/pipl_keys.h"

namespace icofmt::icohost {
namespace {

constexpr const char* kUsage = R"(usage:
  icohost info [--module PATH]
  icohost check FILE... [--json]
  icohost list FILE
  icohost extract FILE N -o OUT.png
  icohost extract FILE --all -o DIR
  icohost open FILE -o OUT.png [--pick N] [--cancel] [--title T] [--module PATH]
               [--interactive]
  icohost save IMAGE.png FILE [--mode rgb|gray|indexed|bitmap] [--depth auto|1|4|8|24|32]
               [--add] [--png|--no-png] [--delete N[,N...]] [--cancel]
               [--sizes N,...|windows|favicon] [--fit] [--plain-save] [--in-place]
               [--hotspot X,Y] [--title T] [--module PATH] [--interactive]

info   shows the property list of the format module.
check  names what Windows and other readers will stumble on in each icon or
       cursor FILE, one line per finding: the file, the image (from 1) when
       the finding concerns one, the level (error: some reader fails or shows
       it wrongly; warning: some reader or size looks bad; note), a stable
       code and what happens. --json prints one JSON object per file instead.
       Exits 1 when any file has an error, else 0; it never changes a file.
list   lists the images of the icon FILE, one line each: its number from 1,
       then its size and depth, and for a cursor its hot spot.
extract writes image N (from 1) of the icon FILE as OUT.png, as the module
       hands it to the host; with --all every image, as
       DIR/<name>-<n>-<w>x<h>.png. list and extract read the file directly,
       with no module.
open   opens FILE through the module and writes the image as OUT.png.
save   reads IMAGE.png (in the mode that fits it, or --mode) and saves it as
       FILE through the module: the options and estimate steps (no options
       step with --plain-save), then the writing steps. FILE is replaced only
       when the module succeeds; with --in-place it is truncated first and
       written by the module directly, as image editors do. A cursor stays a
       cursor, and a new FILE whose name ends in .cur is made one: the saved
       image takes the hot spot of the image it replaces, or of the image
       nearest in size, or --hotspot X,Y (from the top left).

--fit scales a picture larger than the module takes (256 x 256) down to fit
it, keeping its shape, before the module is called; without it such a
picture is refused. A scaled picture is RGB unless --mode says otherwise.

--title T sets the document title the module may ask for; by default it is
the absolute path of FILE.

The module's forms are answered as a user would (N counts from 1):
  --pick N        choose image N of the icon to open
  --depth D       choose the colour depth of the saved image
  --add           add the image instead of replacing one of the same format
  --png/--no-png  store the saved image compressed as PNG, or not
  --sizes N,...   also save these smaller sizes, made from the picture
                  (16, 24, 32, 48, 64, 128; one as large as the picture is
                  the picture itself); "windows" is 16,24,32,48 and
                  "favicon" 16,32, each size below the picture's
  --delete N,...  delete these images of the destination first
  --cancel        cancel the form instead of confirming it
A form that gets no answer is confirmed with its defaults. On Windows the
answers are given to the real forms through their controls, as a user would;
with --interactive (Windows only) the forms wait for the user instead.

--module PATH defaults to the icofmt module beside icohost.
Exit status: 0 on success; 1 when the module or the host failed ("icohost:
the module returned R" for a module's result R); 2 for a usage error. Every
message box the module showed is printed on stderr.
)";

struct Usage : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::string command;
  std::vector<std::string> files;
  std::string output;
  std::string module;
  std::optional<int> pick;
  std::optional<int> mode;
  std::optional<int> depthItem;
  bool add = false;
  std::optional<bool> png;
  std::vector<int> deletions;
  bool cancel = false;
  bool plainSave = false;
  bool inPlace = false;
  bool interactive = false;
  std::optional<std::string> title;
  bool all = false;
  bool json = false;
  std::optional<std::pair<int, int>> hotSpot;
  // --sizes as given, or one of its shorthands.
  std::vector<int> sizes;
  bool sizesShorthand = false;
  bool fit = false;
};

constexpr int kOfferedSizes[] = {16, 24, 32, 48, 64, 128};

std::vector<int> parseSizes(const std::string& list, bool& shorthand) {
  shorthand = list == "windows" || list == "favicon";
  if (list == "windows") return {16, 24, 32, 48};
  if (list == "favicon") return {16, 32};
  std::vector<int> sizes;
  std::size_t at = 0;
  while (at <= list.size()) {
    std::size_t comma = list.find(',', at);
    if (comma == std::string::npos) comma = list.size();
    const std::string item = list.substr(at, comma - at);
    bool offered = false;
    for (int side : kOfferedSizes) offered = offered || item == std::to_string(side);
    if (!offered) throw Usage("--sizes takes sizes among 16, 24, 32, 48, 64 and 128, or windows or favicon");
    sizes.push_back(std::stoi(item));
    at = comma + 1;
  }
  return sizes;
}

int positive(const std::string& text, const char* flag) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != 0 || value < 1 || value > 65535)
    throw Usage(std::string(flag) + " takes a number from 1");
  return static_cast<int>(value);
}

Options parse(int argc, char** argv) {
  Options o;
  if (argc < 2) throw Usage("no command");
  o.command = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw Usage(a + " needs a value");
      return argv[++i];
    };
    if (a == "--module") {
      o.module = value();
    } else if (a == "-o" && (o.command == "open" || o.command == "extract")) {
      o.output = value();
    } else if (a == "--pick" && o.command == "open") {
      o.pick = positive(value(), "--pick");
    } else if (a == "--cancel" && o.command != "info") {
      o.cancel = true;
    } else if (a == "--mode" && o.command == "save") {
      const std::string m = value();
      if (m == "bitmap")
        o.mode = delegate::kModeBitmap;
      else if (m == "gray")
        o.mode = delegate::kModeGray;
      else if (m == "indexed")
        o.mode = delegate::kModeIndexed;
      else if (m == "rgb")
        o.mode = delegate::kModeRgb;
      else
        throw Usage("--mode takes rgb, gray, indexed or bitmap");
    } else if (a == "--depth" && o.command == "save") {
      const std::string d = value();
      const char* items[] = {"auto", "1", "4", "8", "24", "32"};
      for (int k = 0; k < 6; ++k)
        if (d == items[k]) o.depthItem = k;
      if (!o.depthItem) throw Usage("--depth takes auto, 1, 4, 8, 24 or 32");
    } else if (a == "--add" && o.command == "save") {
      o.add = true;
    } else if ((a == "--png" || a == "--no-png") && o.command == "save") {
      o.png = a == "--png";
    } else if (a == "--delete" && o.command == "save") {
      std::string list = value();
      std::size_t at = 0;
      while (at <= list.size()) {
        std::size_t comma = list.find(',', at);
        if (comma == std::string::npos) comma = list.size();
        o.deletions.push_back(positive(list.substr(at, comma - at), "--delete"));
        at = comma + 1;
      }
    } else if (a == "--sizes" && o.command == "save") {
      o.sizes = parseSizes(value(), o.sizesShorthand);
    } else if (a == "--fit" && o.command == "save") {
      o.fit = true;
    } else if (a == "--plain-save" && o.command == "save") {
      o.plainSave = true;
    } else if (a == "--in-place" && o.command == "save") {
      o.inPlace = true;
    } else if (a == "--interactive" && (o.command == "save" || o.command == "open")) {
#if !defined(_WIN32)
      throw Usage("--interactive needs the Windows build");
#endif
      o.interactive = true;
    } else if (a == "--json" && o.command == "check") {
      o.json = true;
    } else if (a == "--all" && o.command == "extract") {
      o.all = true;
    } else if (a == "--hotspot" && o.command == "save") {
      const std::string v = value();
      const std::size_t comma = v.find(',');
      if (comma == std::string::npos) throw Usage("--hotspot takes X,Y");
      auto coordinate = [](const std::string& text) {
        char* end = nullptr;
        const long n = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != 0 || n < 0 || n > 65535) throw Usage("--hotspot takes X,Y from 0,0");
        return static_cast<int>(n);
      };
      o.hotSpot = {coordinate(v.substr(0, comma)), coordinate(v.substr(comma + 1))};
    } else if (a == "--title" && (o.command == "save" || o.command == "open")) {
      o.title = value();
    } else if (!a.empty() && a[0] == '-') {
      throw Usage("unknown option " + a + " for " + o.command);
    } else {
      o.files.push_back(a);
    }
  }
  if (o.command == "info" && !o.files.empty()) throw Usage("info takes no file");
  if (o.command == "check" && o.files.empty()) throw Usage("check needs FILE...");
  if (o.command == "list" && o.files.size() != 1) throw Usage("list needs FILE");
  if (o.command == "extract" && (o.files.size() != (o.all ? 1u : 2u) || o.output.empty()))
    throw Usage("extract needs FILE, N and -o OUT.png, or FILE, --all and -o DIR");
  if (o.command == "open" && (o.files.size() != 1 || o.output.empty()))
    throw Usage("open needs FILE and -o OUT.png");
  if (o.command == "save" && o.files.size() != 2) throw Usage("save needs IMAGE.png and FILE");
  if (o.command != "info" && o.command != "open" && o.command != "save" && o.command != "list" &&
      o.command != "extract" && o.command != "check")
    throw Usage("unknown command " + o.command);
  return o;
}

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
  std::vector<Action> actions;
  if (o.pick) actions.push_back({Action::Kind::Select, "ComboBox1", *o.pick - 1});
  if (!o.deletions.empty()) {
    for (int n : o.deletions) actions.push_back({Action::Kind::CheckItem, "ChkLB1", n - 1});
    actions.push_back({Action::Kind::Click, "B_Delete", -1});
  }
  if (o.depthItem) actions.push_back({Action::Kind::Select, "CB2", *o.depthItem});
  if (o.add) actions.push_back({Action::Kind::Uncheck, "ChkB3", -1});
  if (o.png) actions.push_back({*o.png ? Action::Kind::Check : Action::Kind::Uncheck, "ChkB2", -1});
  for (int side : sides) actions.push_back({Action::Kind::Check, "ChkSize" + std::to_string(side), -1});
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
  const int count = imagesOffered(file, asDestination);
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
bool fitsModule(const PiplInfo& p, const delegate::Document& doc, const std::string& picture) {
  if (p.maxRows <= 0 || p.maxColumns <= 0 || (doc.width <= p.maxColumns && doc.height <= p.maxRows))
    return true;
  std::fprintf(
      stderr, "icohost: the module takes images up to %d \u00d7 %d (its property list); %s is %d \u00d7 %d\n",
      p.maxColumns, p.maxRows, picture.c_str(), doc.width, doc.height);
  return false;
}

// The form offers only sizes smaller than the picture: one as large is the
// picture itself, a larger one is a mistake, and a shorthand takes what fits.
std::vector<int> smallerSides(const Options& o, const delegate::Document& doc) {
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
void checkHotSpot(const Options& o, const delegate::Document& doc) {
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

// Files the command reads must be regular files: opening a pipe waits for a
// writer for ever, and a device never ends.
void requireRegularFiles(const Options& o) {
  std::vector<std::string> inputs;
  if (o.command == "list" || o.command == "extract" || o.command == "open") inputs = {o.files[0]};
  if (o.command == "save") inputs = {o.files[0], o.files[1]};
  for (const std::string& file : inputs) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
      throw std::runtime_error(file + " is no file that can be read (a folder, a pipe or a device)");
  }
}

int run(const Options& o) {
  if (o.command == "check") return checkFiles(o.files, o.json);
  requireRegularFiles(o);
  if (o.command == "list") {
    listIcon(o.files[0]);
    return 0;
  }
  if (o.command == "extract") {
    if (o.all)
      extractAll(o.files[0], o.output);
    else
      extractIcon(o.files[0], positive(o.files[1], "N"), o.output);
    return 0;
  }
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
    delegate::Document doc;
    result = host.open(o.files[0], doc);
    printMessageBoxes();
    if (result == 0) writePngDocument(doc, o.output);
  } else {
    // Scaled before the mode is forced: a Bitmap picture is diffused at its final size.
    delegate::Document doc = readPngDocument(o.files[0], o.fit ? std::nullopt : o.mode);
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

int main(int argc, char** argv) {
  using namespace icofmt::icohost;
  if (argc >= 2 &&
      (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h" || std::string(argv[1]) == "help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  try {
    return run(parse(argc, argv));
  } catch (const Usage& e) {
    std::fprintf(stderr, "icohost: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "icohost: %s\n", e.what());
    return 1;
  }
}
