#include "platform/audio/sdlcalls.h"

#include <dlfcn.h>

#include <string>

#include "platform/core/latesymbol.h"

namespace audio {
namespace {

// The soname of the major version the headers are for.
constexpr const char* kLibrary = "libSDL2-2.0.so.0";

struct Loaded {
  SdlCalls calls;
  bool ok = false;
  std::string error;
};

template <typename F>
bool symbol(void* library, const char* name, F& function, std::string& error) {
  if (lateSymbol(library, name, function)) return true;
  if (error.empty()) error = std::string(kLibrary) + " has no " + name;
  return false;
}

bool loadCalls(SdlCalls& c, std::string& error) {
  void* l = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!l) {
    const char* why = dlerror();
    error = why ? why : kLibrary;
    return false;
  }
  std::string& e = error;
  return symbol(l, "SDL_InitSubSystem", c.initSubSystem, e) && symbol(l, "SDL_QuitSubSystem", c.quitSubSystem, e) &&
         symbol(l, "SDL_GetError", c.getError, e) && symbol(l, "SDL_free", c.free, e) &&
         symbol(l, "SDL_OpenAudioDevice", c.openAudioDevice, e) &&
         symbol(l, "SDL_PauseAudioDevice", c.pauseAudioDevice, e) &&
         symbol(l, "SDL_CloseAudioDevice", c.closeAudioDevice, e) &&
         symbol(l, "SDL_NewAudioStream", c.newAudioStream, e) &&
         symbol(l, "SDL_FreeAudioStream", c.freeAudioStream, e) &&
         symbol(l, "SDL_AudioStreamPut", c.audioStreamPut, e) && symbol(l, "SDL_AudioStreamGet", c.audioStreamGet, e) &&
         symbol(l, "SDL_AudioStreamAvailable", c.audioStreamAvailable, e) &&
         symbol(l, "SDL_AudioStreamClear", c.audioStreamClear, e) &&
         symbol(l, "SDL_AudioStreamFlush", c.audioStreamFlush, e) &&
         symbol(l, "SDL_GetCurrentVideoDriver", c.getCurrentVideoDriver, e) && symbol(l, "SDL_SetHint", c.setHint, e) &&
         symbol(l, "SDL_CreateWindow", c.createWindow, e) && symbol(l, "SDL_DestroyWindow", c.destroyWindow, e) &&
         symbol(l, "SDL_SetWindowTitle", c.setWindowTitle, e) &&
         symbol(l, "SDL_GetWindowWMInfo", c.getWindowWMInfo, e) &&
         symbol(l, "SDL_CreateRenderer", c.createRenderer, e) &&
         symbol(l, "SDL_DestroyRenderer", c.destroyRenderer, e) && symbol(l, "SDL_CreateTexture", c.createTexture, e) &&
         symbol(l, "SDL_DestroyTexture", c.destroyTexture, e) && symbol(l, "SDL_UpdateTexture", c.updateTexture, e) &&
         symbol(l, "SDL_RenderCopy", c.renderCopy, e) && symbol(l, "SDL_RenderPresent", c.renderPresent, e) &&
         symbol(l, "SDL_EventState", c.eventState, e) && symbol(l, "SDL_PollEvent", c.pollEvent, e) &&
         symbol(l, "SDL_WaitEventTimeout", c.waitEventTimeout, e);
}

const Loaded& loaded() {
  static const Loaded l = [] {
    Loaded result;
    result.ok = loadCalls(result.calls, result.error);
    return result;
  }();
  return l;
}

}  // namespace

const SdlCalls* sdl() { return loaded().ok ? &loaded().calls : nullptr; }

const char* sdlLoadError() { return loaded().error.c_str(); }

}  // namespace audio
