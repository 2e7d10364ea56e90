#pragma once
// Libraries opened on first use (dlopen) instead of linked: each function
// a caller needs is found once, by name, into a pointer of its own type.

#include <dlfcn.h>

// Points `function` at `name` in `library`; false when the library lacks it.
template <typename F>
bool lateSymbol(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

// The calls `bind` finds in `library`, which is opened by the first call and
// stays loaded for the life of the process, as a linked one would; null when
// the library or one of the calls is missing. One set per type of calls.
template <typename Calls>
const Calls* lateCalls(const char* library, bool (*bind)(void* library, Calls& calls)) {
  static const Calls* calls = [&] {
    static Calls loaded;
    void* l = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    return l && bind(l, loaded) ? &loaded : nullptr;
  }();
  return calls;
}
