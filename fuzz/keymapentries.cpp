#include <cstdlib>

#include "app/keymap.h"
#include "fuzz/fuzzentries.h"

int fuzzKeyMapText(const std::uint8_t* data, std::size_t size) {
  KeyMap map;
  map.parse(fuzzText(data, size));
  // The saved form must bring back exactly the bindings it was made from,
  // or a restart would change the user's keys.
  const WideString saved = map.serialize();
  KeyMap again;
  again.parse(saved);
  if (again.bindings() != map.bindings() || again.serialize() != saved) std::abort();
  return 0;
}
