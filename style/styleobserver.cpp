#include "style/styleobserver.h"

StyleObserver* style_detail::g_observer = nullptr;

void setStyleObserver(StyleObserver* observer) { style_detail::g_observer = observer; }
