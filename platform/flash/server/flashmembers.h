#pragma once
// The Flash control's published automation members: their member ids, kinds
// and parameter types, and the type information built from them.

#include "platform/ole/oleauto.h"

// The control's class, its ProgID and its dispatch interface.
inline constexpr CLSID CLSID_ShockwaveFlash = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID IID_IShockwaveFlash = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr char16_t kFlashProgId[] = u"ShockwaveFlash.ShockwaveFlash";

namespace flash {

enum Member : DISPID {
  kReadyState = -525,
  kMovie = 0x66,
  kQuality = 0x69,
  kLoop = 0x6A,
  kFrameNum = 0x6B,
  kSetZoomRect = 0x6D,
  kPlay = 0x70,
  kStop = 0x71,
  kBack = 0x72,
  kForward = 0x73,
  kRewind = 0x74,
  kZoom = 0x76,
  kPan = 0x77,
  kScaleMode = 0x78,
  kAlignMode = 0x79,
  kBackgroundColor = 0x7B,
  kTotalFrames = 0x7C,
  kPlaying = 0x7D,
  kStopPlay = 0x7E,
  kGotoFrame = 0x7F,
  kCurrentFrame = 0x80,
  kIsPlaying = 0x81,
  kPercentLoaded = 0x82,
  kFrameLoaded = 0x83,
  kFlashVersion = 0x84,
  kWMode = 0x85,
  kSAlign = 0x86,
  kMenu = 0x87,
  kBase = 0x88,
  kScale = 0x89,
  kDeviceFont = 0x8A,
  kEmbedMovie = 0x8B,
  kBGColor = 0x8C,
  kQuality2 = 0x8D,
  kLoadMovie = 0x8E,
  kTGotoFrame = 0x8F,
  kTGotoLabel = 0x90,
  kTCurrentFrame = 0x91,
  kTCurrentLabel = 0x92,
  kTPlay = 0x93,
  kTStopPlay = 0x94,
  kSetVariable = 0x97,
  kGetVariable = 0x98,
  kTSetProperty = 0x99,
  kTGetProperty = 0x9A,
  kTCallFrame = 0x9B,
  kTCallLabel = 0x9C,
  kTSetPropertyNum = 0x9D,
  kTGetPropertyNum = 0x9E,
};

struct MemberParam {
  const char16_t* name;
  VARTYPE vt;
};

// One published member: a method, or a property with a get and (unless read
// only) a put of the same member id.
struct MemberInfo {
  const char16_t* name;
  DISPID id;
  bool property;
  bool readOnly;
  VARTYPE type;  // a property's type, a method's result (VT_EMPTY for none)
  MemberParam params[4];
  int paramCount;
};

extern const MemberInfo kMembers[];
extern const int kMemberCount;

const MemberInfo* findMember(DISPID id);

}  // namespace flash

// The dispatch interface's type information as a dual interface publishes
// it: the IUnknown and IDispatch methods first (restricted), then every member,
// implementing IDispatch. One reference.
ITypeInfo* createFlashTypeInfo();
