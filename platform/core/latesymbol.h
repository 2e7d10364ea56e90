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
