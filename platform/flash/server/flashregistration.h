#pragma once
// The Flash control as one of the device's built-in servers: its CMakeLists
// lists it with the build's library, found here by its CLSID. Header-only, so
// that the device tool and tests reach it with the device alone.

#include <string>

#include "platform/core/builtins.h"

inline constexpr char16_t kFlashControlClsid[] = u"{D27CDB6E-AE6D-11cf-96B8-444553540000}";

inline bool installFlashControl(Device& device, std::string& error) {
  BuiltinServer server;
  if (findBuiltinServer(kFlashControlClsid, server)) return installBuiltinServer(device, server, error);
  error = "the Flash control's library is not known";
  return false;
}

inline bool removeFlashControl(Device& device, std::string& error) {
  BuiltinServer server;
  if (findBuiltinServer(kFlashControlClsid, server)) return removeBuiltinServer(device, server, error);
  error = "the Flash control is not among the device's built-in servers";
  return false;
}

inline bool flashControlInstalled(Device& device) {
  BuiltinServer server;
  return findBuiltinServer(kFlashControlClsid, server) && builtinServerInstalled(device, server);
}
