#pragma once
// A window class whose procedure records every message it receives, for the
// tests of message order.

#include <string>
#include <vector>

#include "platform/core/windowing.h"
#include "platform/core/winuser.h"

struct Received {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class Recorder {
 public:
  Recorder();
  ~Recorder();
  HWND create(LPCWSTR title, DWORD style, int x, int y, int w, int h, HWND parent = nullptr, void* param = nullptr);
  // The messages of interest (paint, size, move, create, destroy, input, timers).
  std::vector<UINT> messagesFor(HWND hwnd) const;
  std::vector<Received> log;
  bool validateOnPaint = true;
  static Recorder* current;
};

std::string nameOf(UINT message);
