#include "options.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "carried/png_document.h"
#include "inspect.h"

namespace icofmt::icohost {

const char* const kUsage = R"(usage:
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

namespace {

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

}  // namespace

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
        o.mode = carried::kModeBitmap;
      else if (m == "gray")
        o.mode = carried::kModeGray;
      else if (m == "indexed")
        o.mode = carried::kModeIndexed;
      else if (m == "rgb")
        o.mode = carried::kModeRgb;
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

int runCommandLine(int argc, char** argv, int (*runModule)(const Options&)) {
  if (argc >= 2 &&
      (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h" || std::string(argv[1]) == "help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  try {
    const Options o = parse(argc, argv);
    if (o.command == "list" || o.command == "extract") requireRegularFiles(o);
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
    return runModule(o);
  } catch (const Usage& e) {
    std::fprintf(stderr, "icohost: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "icohost: %s\n", e.what());
    return 1;
  }
}

}  // namespace icofmt::icohost
