#include "app/keytranslation.h"

namespace {

bool isDirectionKey(int key) { return key >= VK_LEFT && key <= VK_DOWN; }

// Left uses Up, Up uses Right, Right uses Down, Down uses Left.
int quarterTurned(int key) { return key == VK_DOWN ? VK_LEFT : key + 1; }

}  // namespace

KeyTranslation translateKeyDown(const KeyMap& map, bool fullScreen, int key) {
  if (key == kReturnKey) return {KeyRoute::Action, kReturnKey};
  int mapped = map.lookup(key);
  if (fullScreen && isDirectionKey(key)) {
    int turned = map.lookup(quarterTurned(key));
    if (mapped < kPanAction && turned != kNoAction) {
      if (turned > kPanAction) return {KeyRoute::Discard, turned};
      mapped = turned;
    }
  }
  if (mapped == kNoAction) return {KeyRoute::Dispatch, key};
  if (mapped >= kPanAction) return {KeyRoute::Action, mapped};
  return {KeyRoute::Readdress, mapped};
}
