// Task memory: what one side of an interface allocates and the other frees.

#include <cstdlib>

#include "platform/ole/objbase.h"

LPVOID CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }

void CoTaskMemFree(LPVOID pv) { std::free(pv); }
