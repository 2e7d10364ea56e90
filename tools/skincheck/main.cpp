// skincheck [--json] [--werror] [--preview OUT.png] PATH
// Checks a skin as the player will read it: PATH is a ".bskn" document, a
// ".zskn" package or a folder holding one. Every problem is printed on one
// line as "file:line:column: error|warning: text". Exit code 0 without
// errors, 1 with errors (or warnings under --werror), 2 when PATH cannot be
// read. --preview draws the skin in each of its states with the player's
// engine, and its agreed ids outlined, into OUT.png and OUT-ids.png.

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/core/device.h"
#include "platform/core/windowing.h"
#include "platform/gdi/gdiguards.h"
#include "platform/gdi/surface.h"
#include "platform/image/richimage.h"
#include "render/engine.h"
#include "render/skinloading.h"
#include "tools/skincheck/checkcontext.h"
#include "tools/skincheck/preview.h"
#include "tools/skincheck/skininput.h"

namespace {

constexpr int kExitClean = 0, kExitProblems = 1, kExitUnreadable = 2;
constexpr int kScreenWidth = 240, kScreenHeight = 320;  // the default device's screen

struct Options {
  bool json = false;
  bool werror = false;
  std::string preview;
  std::string path;
};

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--json") {
      options.json = true;
    } else if (argument == "--werror") {
      options.werror = true;
    } else if (argument == "--preview" && i + 1 < argc) {
      options.preview = argv[++i];
    } else if (argument.starts_with("--") || !options.path.empty()) {
      return false;
    } else {
      options.path = argument;
    }
  }
  return !options.path.empty();
}

int unreadable(const std::string& message) {
  std::fprintf(stderr, "skincheck: %s\n", message.c_str());
  return kExitUnreadable;
}

// Removes the scratch device when the run ends, however it ends.
struct ScratchFolder {
  std::filesystem::path path;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

bool readBytes(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  bytes = text.str();
  return true;
}

// The player's engine as it starts, on a device with the default screen.
void startEngine() {
  wm::setScreenSize(kScreenWidth, kScreenHeight);
  gdi::installWindowHooks();
  RichImage::AddHandler(new rcJPEGHandler);
  RichImage::AddHandler(new rcGIFHandler);
  startSkinEngine(nullptr, "skincheck");
}

// Loads and checks the document; the document stays for the preview.
Ref<SVGDocument> checkDocument(const SkinInput& input, const std::string& bytes, Report& report) {
  SourceText source(bytes);
  LoadRecord record;
  XmlLoadResult result;
  Ref<SVGDocument> document = loadSkinDocument(input.devicePath, result, &record);
  if (!document) {
    std::string message = utf8(result.message);
    report.error({result.lineNumber, result.columnNumber},
                 "XML error " + std::to_string(result.errorCode) + ", " + message +
                     " (the player shows \"Load skin file: " + message + "\" and loads nothing)");
    return document;
  }
  report.loaded = true;
  if (SVGElement* root = document->rootElement()) {
    WindowDC screen(nullptr);
    root->computeStyle(screen.get());
  }
  CheckContext context{*document, record, source, report};
  checkElements(context);
  checkAgreedIds(context);
  return document;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options))
    return unreadable("usage: skincheck [--json] [--werror] [--preview OUT.png] PATH");

  std::string pattern = (std::filesystem::temp_directory_path() / "skincheck-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return unreadable("no scratch folder");
  ScratchFolder scratch{pattern};
  std::string error;
  DeviceConfig config;
  config.screenWidth = kScreenWidth;
  config.screenHeight = kScreenHeight;
  config.scratch = true;
  auto device = Device::create(scratch.path / "device", config, error);
  if (!device) return unreadable(error);
  exchangeCurrentDevice(std::move(device));
  startEngine();

  Report report;
  SkinInput input;
  InputStatus status = findSkinInput(options.path, report, input, error);
  if (status == InputStatus::Unreadable) return unreadable(error);
  Ref<SVGDocument> document;
  if (status == InputStatus::Found) {
    std::string bytes;
    if (!readBytes(input.hostPath, bytes)) return unreadable("cannot read " + input.hostPath.string());
    report.file = input.displayName;
    document = checkDocument(input, bytes, report);
  }
  report.sort();
  if (document && !options.preview.empty() && !writePreview(document, options.preview, error))
    std::fprintf(stderr, "skincheck: %s\n", error.c_str());
  document = Ref<SVGDocument>();

  std::fputs((options.json ? jsonOf(report) : textOf(report)).c_str(), stdout);
  const bool failed = report.count(Severity::Error) > 0 || (options.werror && report.count(Severity::Warning) > 0);
  return failed ? kExitProblems : kExitClean;
}
