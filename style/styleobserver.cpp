#include "style/styleobserver.h"

namespace {

StyleObserver* g_observer = nullptr;  // not owned

}  // namespace

StyleObserver* styleObserver() { return g_observer; }

void setStyleObserver(StyleObserver* observer) { g_observer = observer; }
