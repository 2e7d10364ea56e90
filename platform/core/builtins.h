#pragma once
// The programs a device comes with, the way the handheld's ROM carries them:
// the Flash control's in-process server, copied onto every new device as
// "\Windows\FlashControl.dll" and registered under its CLSID and ProgID,
// and the browser, "\Windows\HtmlBrowser.exe", registered as the program that
// opens ".htm" and ".html" files. The device tool removes and re-adds the
// control, so that a device without it can be tried, and refreshes both.

#include <filesystem>
#include <string>

class Device;

inline constexpr char16_t kFlashControlClsid[] = u"{D27CDB6E-AE6D-11cf-96B8-444553540000}";
inline constexpr char16_t kFlashControlProgId[] = u"ShockwaveFlash.ShockwaveFlash";
inline constexpr char16_t kFlashControlDevicePath[] = u"\\Windows\\FlashControl.dll";

// The host file new devices get the control from: ORVELFLASH_FLASH_CONTROL
// when set, else the library this build made.
std::filesystem::path flashControlSource();

// Puts the control's library on the device and registers it; false with a
// message when the library cannot be copied (nothing is registered then).
bool installFlashControl(Device& device, std::string& error);
// Removes the registration and the library; false with a message when the
// registry cannot be written.
bool removeFlashControl(Device& device, std::string& error);
// Whether the class is registered with a server file present on the device.
bool flashControlInstalled(Device& device);

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
