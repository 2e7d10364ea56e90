#include "platform/core/callrecord.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace wm {
namespace {

struct Section {
  std::string name;
  std::deque<std::string> lines;
};

struct Record {
  std::mutex lock;
  std::vector<Section> sections;
};

Record& record() {
  static Record r;
  return r;
}

}  // namespace

void recordCall(std::string_view section, std::string line) {
  Record& r = record();
  std::lock_guard guard(r.lock);
  auto it = std::find_if(r.sections.begin(), r.sections.end(), [&](const Section& s) { return s.name == section; });
  if (it == r.sections.end()) it = r.sections.insert(r.sections.end(), Section{std::string(section), {}});
  it->lines.push_back(std::move(line));
  // A long session keeps its latest calls rather than growing without end.
  if (it->lines.size() > kMaxRecordLines) it->lines.pop_front();
}

std::vector<RecordSection> recordedCalls() {
  Record& r = record();
  std::lock_guard guard(r.lock);
  std::vector<RecordSection> out;
  for (const Section& s : r.sections) out.push_back(RecordSection{s.name, {s.lines.begin(), s.lines.end()}});
  return out;
}

void clearRecordedCalls() {
  Record& r = record();
  std::lock_guard guard(r.lock);
  r.sections.clear();
}

}  // namespace wm
