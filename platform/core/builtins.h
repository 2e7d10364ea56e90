#pragma once
// The in-process servers a device comes with, the way the handheld's ROM
// carries them: each server's library is put on every new device and
// registered under its CLSID and ProgID. The build lists them in a file
// (each server's own folder adds its row), so the device knows none by name;
// the device tool removes and re-adds one, so that a device without it can be
// tried. The browser comes too, registered as the program that opens
// ".htm" and ".html" files.

#include <filesystem>
#include <string>
#include <vector>

class Device;

struct BuiltinServer {
  std::u16string clsid;
  std::u16string progId;
  std::u16string className;
  std::u16string devicePath;       // where the library goes on the device
  std::filesystem::path hostFile;  // the library the build made
};

// The servers the build lists; ORVELFLASH_BUILTINS names another list. A row
// is "CLSID|ProgID|class name|device path|host file".
std::vector<BuiltinServer> builtinServers();
// The listed server of that CLSID; false when none is listed.
bool findBuiltinServer(std::u16string_view clsid, BuiltinServer& server);

// Puts the server's library on the device and registers it; false with a
// message when the library cannot be copied (nothing is registered then).
bool installBuiltinServer(Device& device, const BuiltinServer& server, std::string& error);
// Removes the registration and the library; false with a message when the
// registry cannot be written.
bool removeBuiltinServer(Device& device, const BuiltinServer& server, std::string& error);
// Whether the class is registered with a server file present on the device.
bool builtinServerInstalled(Device& device, const BuiltinServer& server);

inline constexpr char16_t kBrowserDevicePath[] = u"\\Windows\\HtmlBrowser.exe";
// The type both page extensions name, and the command that opens it.
inline constexpr char16_t kPageFileType[] = u"htmlfile";
inline constexpr char16_t kBrowserOpenCommand[] = u"\\Windows\\HtmlBrowser.exe %1";

// The host file new devices get the browser from: ORVELFLASH_BROWSER when
// set, else the program this build made.
std::filesystem::path browserSource();
// Puts the browser on the device and registers it for pages; false with a
// message when the program cannot be copied (nothing is registered then).
bool installBrowser(Device& device, std::string& error);
// Whether ".htm" opens with the browser and the program is on the device.
bool browserInstalled(Device& device);
