#pragma once
// What parts of the device note as they serve a program (the Flash control's
// automation calls and keys, the file explorer's starts), kept per section in
// the order they happened, for the state dump of scripted sessions to show.

#include <string>
#include <string_view>
#include <vector>

namespace wm {

// Appends one line to `section`; only the newest kMaxRecordLines are kept.
void recordCall(std::string_view section, std::string line);
// The sections in the order of their first line, each with its lines.
struct RecordSection {
  std::string name;
  std::vector<std::string> lines;
};
std::vector<RecordSection> recordedCalls();
void clearRecordedCalls();

inline constexpr size_t kMaxRecordLines = 2000;

}  // namespace wm
