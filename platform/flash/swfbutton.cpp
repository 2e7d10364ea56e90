#include "platform/flash/swfbutton.h"

#include <algorithm>

namespace swf {

namespace {

constexpr uint8_t kRecordHasBlendMode = 0x20;
constexpr uint8_t kRecordHasFilters = 0x10;
constexpr uint8_t kRecordStates = 0x0F;

}  // namespace

bool skipFilters(SwfReader& r) {
  constexpr size_t kFilterBytes[] = {23, 9, 15, 27, 0, 0, 0, 0};  // drop shadow, blur, glow, bevel
  uint8_t count = r.u8();
  for (unsigned i = 0; i < count && r.ok(); ++i) {
    uint8_t id = r.u8();
    if (id == 4 || id == 7) {  // gradient glow and bevel: colours and ratios, then 19 bytes
      uint8_t colors = r.u8();
      r.skip(size_t(colors) * 5 + 19);
    } else if (id == 6) {  // colour matrix
      r.skip(80);
    } else if (id == 5) {  // convolution
      uint8_t x = r.u8(), y = r.u8();
      r.skip(8 + size_t(x) * y * 4 + 5);
    } else if (id < 8) {
      r.skip(kFilterBytes[id]);
    } else {
      r.fail();
    }
  }
  return r.ok();
}

namespace {

// Answers false at the end of the records.
bool readRecord(SwfReader& r, int version, ButtonRecord& record) {
  uint8_t flags = r.u8();
  if (flags == 0) return false;
  record.states = flags & kRecordStates;
  record.characterId = r.u16();
  record.depth = r.u16();
  record.matrix = r.matrix();
  if (version >= 2) {
    record.colorTransform = r.colorTransform(true);
    if (flags & kRecordHasFilters) skipFilters(r);
    if (flags & kRecordHasBlendMode) record.blendMode = r.u8();
  }
  return r.ok();
}

void readRecords(SwfReader& r, int version, ButtonDef& button) {
  ButtonRecord record;
  while (r.ok() && readRecord(r, version, record)) button.records.push_back(record);
}

// DefineButton2's condition actions: each with the offset of the next, 0 for the last.
void readConditionActions(SwfReader& r, ButtonDef& button) {
  while (r.ok() && r.remaining() >= 4) {
    uint16_t next = r.u16();
    uint8_t low = r.u8(), high = r.u8();
    ButtonActions actions;
    // The first byte holds the transitions from IdleToOverDown down to IdleToOverUp.
    for (int bit = 0; bit < 8; ++bit)
      if (low & (1 << bit)) actions.conditions |= uint16_t(1 << bit);
    if (high & 1) actions.conditions |= kCondOverDownToIdle;
    size_t length = next >= 4 ? size_t(next) - 4 : r.remaining();
    auto bytes = r.bytes(std::min(length, r.remaining()));
    actions.records = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
    button.actions.push_back(std::move(actions));
    if (next == 0) break;
  }
}

}  // namespace

bool readButton(SwfReader& body, int version, ButtonDef& button) {
  if (version >= 2) {
    button.trackAsMenu = body.u8() & 1;
    uint16_t actionOffset = body.u16();
    size_t start = body.position();
    readRecords(body, version, button);
    if (actionOffset >= 2 && body.ok()) {
      size_t at = start - 2 + actionOffset;
      if (at >= body.position()) {
        body.skip(at - body.position());
        readConditionActions(body, button);
      }
    }
    return true;
  }
  readRecords(body, version, button);
  auto bytes = body.bytes(body.remaining());
  // DefineButton's actions run on a release inside.
  button.actions.push_back(
      {kCondOverDownToOverUp, std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end())});
  return true;
}

void applyButtonColorTransform(SwfReader& body, ButtonDef& button) {
  ColorTransform cx = body.colorTransform(false);
  if (!body.ok()) return;
  for (ButtonRecord& record : button.records) record.colorTransform = cx;
}

void readButtonSounds(SwfReader& body, ButtonDef& button) {
  constexpr uint16_t kTransitions[] = {kCondOverUpToIdle, kCondIdleToOverUp, kCondOverUpToOverDown,
                                       kCondOverDownToOverUp};
  button.sounds.clear();
  for (uint16_t condition : kTransitions) {
    uint16_t id = body.u16();
    if (!body.ok()) return;
    if (!id) continue;
    SoundInfo info = readSoundInfo(body);
    if (!body.ok()) return;
    button.sounds.push_back({condition, id, std::move(info)});
  }
}

}  // namespace swf
