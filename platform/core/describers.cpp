// The state dump's window describers, registered by the control libraries.

#include <algorithm>
#include <vector>

#include "platform/core/windowing.h"

namespace wm {
namespace {

std::vector<WindowDescriber>& describers() {
  static std::vector<WindowDescriber> all;
  return all;
}

}  // namespace

void addWindowDescriber(WindowDescriber describe) {
  auto& all = describers();
  if (describe && std::find(all.begin(), all.end(), describe) == all.end()) all.push_back(describe);
}

std::string describeWindow(HWND hwnd) {
  std::string out;
  for (WindowDescriber describe : describers())
    if (describe(hwnd, out)) break;
  return out;
}

}  // namespace wm
