#include "render/engine.h"

#include "platform/gdi/wingdi.h"
#include "render/skinview.h"
#include "style/propertyregistry.h"
#include "xml/charsettable.h"

namespace {

struct EngineState {
  HINSTANCE instance = nullptr;
  std::string name;
};

EngineState& engine() {
  static EngineState state;
  return state;
}

}  // namespace

HINSTANCE skinEngineInstance() { return engine().instance; }
const std::string& skinEngineName() { return engine().name; }

bool registerSkinViewClass() {
  WNDCLASSW existing{};
  if (GetClassInfoW(engine().instance, kSkinViewClassName, &existing)) return true;
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = SkinView::windowProcedure;
  wc.hInstance = engine().instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kSkinViewClassName;
  return RegisterClassW(&wc) != 0;
}

void startSkinEngine(HINSTANCE instance, const char* engineName) {
  engine().instance = instance;
  engine().name = engineName ? engineName : "";
  fillCharsetTable();
  makePropertyRegistry();
  registerSkinViewClass();
}
