// The control's member table and its type information.

#include "platform/flash/server/flashmembers.h"

#include "platform/ole/typeinfo.h"

namespace flash {

constexpr bool kProperty = true;
constexpr bool kMethod = false;
constexpr bool kReadOnly = true;
constexpr bool kReadWrite = false;

const MemberInfo kMembers[] = {
    {u"ReadyState", kReadyState, kProperty, kReadOnly, VT_I4, {}, 0},
    {u"TotalFrames", kTotalFrames, kProperty, kReadOnly, VT_I4, {}, 0},
    {u"Playing", kPlaying, kProperty, kReadWrite, VT_BOOL, {}, 0},
    {u"Quality", kQuality, kProperty, kReadWrite, VT_INT, {}, 0},
    {u"ScaleMode", kScaleMode, kProperty, kReadWrite, VT_INT, {}, 0},
    {u"AlignMode", kAlignMode, kProperty, kReadWrite, VT_INT, {}, 0},
    {u"BackgroundColor", kBackgroundColor, kProperty, kReadWrite, VT_I4, {}, 0},
    {u"Loop", kLoop, kProperty, kReadWrite, VT_BOOL, {}, 0},
    {u"Movie", kMovie, kProperty, kReadWrite, VT_BSTR, {}, 0},
    {u"FrameNum", kFrameNum, kProperty, kReadWrite, VT_I4, {}, 0},
    {u"SetZoomRect",
     kSetZoomRect,
     kMethod,
     false,
     VT_EMPTY,
     {{u"left", VT_I4}, {u"top", VT_I4}, {u"right", VT_I4}, {u"bottom", VT_I4}},
     4},
    {u"Zoom", kZoom, kMethod, false, VT_EMPTY, {{u"factor", VT_INT}}, 1},
    {u"Pan", kPan, kMethod, false, VT_EMPTY, {{u"x", VT_I4}, {u"y", VT_I4}, {u"mode", VT_INT}}, 3},
    {u"Play", kPlay, kMethod, false, VT_EMPTY, {}, 0},
    {u"Stop", kStop, kMethod, false, VT_EMPTY, {}, 0},
    {u"Back", kBack, kMethod, false, VT_EMPTY, {}, 0},
    {u"Forward", kForward, kMethod, false, VT_EMPTY, {}, 0},
    {u"Rewind", kRewind, kMethod, false, VT_EMPTY, {}, 0},
    {u"StopPlay", kStopPlay, kMethod, false, VT_EMPTY, {}, 0},
    {u"GotoFrame", kGotoFrame, kMethod, false, VT_EMPTY, {{u"FrameNum", VT_I4}}, 1},
    {u"CurrentFrame", kCurrentFrame, kMethod, false, VT_I4, {}, 0},
    {u"IsPlaying", kIsPlaying, kMethod, false, VT_BOOL, {}, 0},
    {u"PercentLoaded", kPercentLoaded, kMethod, false, VT_I4, {}, 0},
    {u"FrameLoaded", kFrameLoaded, kMethod, false, VT_BOOL, {{u"FrameNum", VT_I4}}, 1},
    {u"FlashVersion", kFlashVersion, kMethod, false, VT_I4, {}, 0},
    {u"WMode", kWMode, kProperty, kReadWrite, VT_BSTR, {}, 0},
    {u"SAlign", kSAlign, kProperty, kReadWrite, VT_BSTR, {}, 0},
    {u"Menu", kMenu, kProperty, kReadWrite, VT_BOOL, {}, 0},
    {u"Base", kBase, kProperty, kReadWrite, VT_BSTR, {}, 0},
    {u"Scale", kScale, kProperty, kReadWrite, VT_BSTR, {}, 0},
    {u"DeviceFont", kDeviceFont, kProperty, kReadWrite, VT_BOOL, {}, 0},
    {u"EmbedMovie", kEmbedMovie, kProperty, kReadWrite, VT_BOOL, {}, 0},
    {u"BGColor", kBGColor, kProperty, kReadWrite, VT_BSTR, {}, 0},
    {u"Quality2", kQuality2, kProperty, kReadWrite, VT_BSTR, {}, 0},
    {u"LoadMovie", kLoadMovie, kMethod, false, VT_EMPTY, {{u"layer", VT_INT}, {u"url", VT_BSTR}}, 2},
    {u"TGotoFrame", kTGotoFrame, kMethod, false, VT_EMPTY, {{u"target", VT_BSTR}, {u"FrameNum", VT_I4}}, 2},
    {u"TGotoLabel", kTGotoLabel, kMethod, false, VT_EMPTY, {{u"target", VT_BSTR}, {u"label", VT_BSTR}}, 2},
    {u"TCurrentFrame", kTCurrentFrame, kMethod, false, VT_I4, {{u"target", VT_BSTR}}, 1},
    {u"TCurrentLabel", kTCurrentLabel, kMethod, false, VT_BSTR, {{u"target", VT_BSTR}}, 1},
    {u"TPlay", kTPlay, kMethod, false, VT_EMPTY, {{u"target", VT_BSTR}}, 1},
    {u"TStopPlay", kTStopPlay, kMethod, false, VT_EMPTY, {{u"target", VT_BSTR}}, 1},
    {u"SetVariable", kSetVariable, kMethod, false, VT_EMPTY, {{u"name", VT_BSTR}, {u"value", VT_BSTR}}, 2},
    {u"GetVariable", kGetVariable, kMethod, false, VT_BSTR, {{u"name", VT_BSTR}}, 1},
    {u"TSetProperty",
     kTSetProperty,
     kMethod,
     false,
     VT_EMPTY,
     {{u"target", VT_BSTR}, {u"property", VT_INT}, {u"value", VT_BSTR}},
     3},
    {u"TGetProperty", kTGetProperty, kMethod, false, VT_BSTR, {{u"target", VT_BSTR}, {u"property", VT_INT}}, 2},
    {u"TCallFrame", kTCallFrame, kMethod, false, VT_EMPTY, {{u"target", VT_BSTR}, {u"FrameNum", VT_INT}}, 2},
    {u"TCallLabel", kTCallLabel, kMethod, false, VT_EMPTY, {{u"target", VT_BSTR}, {u"label", VT_BSTR}}, 2},
    {u"TSetPropertyNum",
     kTSetPropertyNum,
     kMethod,
     false,
     VT_EMPTY,
     {{u"target", VT_BSTR}, {u"property", VT_INT}, {u"value", VT_R8}},
     3},
    {u"TGetPropertyNum", kTGetPropertyNum, kMethod, false, VT_R8, {{u"target", VT_BSTR}, {u"property", VT_INT}}, 2},
};
const int kMemberCount = sizeof kMembers / sizeof kMembers[0];

const MemberInfo* findMember(DISPID id) {
  for (const MemberInfo& m : kMembers)
    if (m.id == id) return &m;
  return nullptr;
}

}  // namespace flash

ITypeInfo* createFlashTypeInfo() {
  ComPtr<ITypeInfo> dispatch = ComPtr<ITypeInfo>::adopt(CreateStandardTypeInfo(IID_IDispatch));
  TypeInfoBuilder b(u"IShockwaveFlash", IID_IShockwaveFlash, TKIND_DISPATCH, TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
  b.standardMethods();
  for (const flash::MemberInfo& m : flash::kMembers) {
    if (m.property) {
      b.function(m.name, m.id, INVOKE_PROPERTYGET, m.type);
      if (!m.readOnly) b.function(m.name, m.id, INVOKE_PROPERTYPUT, VT_VOID, {{u"", m.type}});
      continue;
    }
    std::vector<TypeParam> params;
    for (int i = 0; i < m.paramCount; ++i) params.push_back({m.params[i].name, m.params[i].vt});
    b.function(m.name, m.id, INVOKE_FUNC, m.type == VT_EMPTY ? VARTYPE{VT_VOID} : m.type, std::move(params));
  }
  b.implements(dispatch.get());
  return b.create();
}
