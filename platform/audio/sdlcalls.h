#pragma once
// SDL2 is opened by the first thing that needs it (the host's sound device, a
// wave stream's rate converter, the desktop window), not by every start: on
// the headless screen with a silent movie, SDL and the forty libraries it
// brings (X11, Wayland, PulseAudio, ALSA, D-Bus, sound file codecs) are never
// loaded, relocated or made resident.

#include <SDL.h>
#include <SDL_syswm.h>

namespace audio {

// The functions used, found once. The library stays loaded for the life of
// the process, as a linked one would.
struct SdlCalls {
  decltype(&SDL_InitSubSystem) initSubSystem = nullptr;
  decltype(&SDL_QuitSubSystem) quitSubSystem = nullptr;
  decltype(&SDL_GetError) getError = nullptr;
  decltype(&SDL_free) free = nullptr;
  // sound
  decltype(&SDL_OpenAudioDevice) openAudioDevice = nullptr;
  decltype(&SDL_PauseAudioDevice) pauseAudioDevice = nullptr;
  decltype(&SDL_CloseAudioDevice) closeAudioDevice = nullptr;
  decltype(&SDL_NewAudioStream) newAudioStream = nullptr;
  decltype(&SDL_FreeAudioStream) freeAudioStream = nullptr;
  decltype(&SDL_AudioStreamPut) audioStreamPut = nullptr;
  decltype(&SDL_AudioStreamGet) audioStreamGet = nullptr;
  decltype(&SDL_AudioStreamAvailable) audioStreamAvailable = nullptr;
  decltype(&SDL_AudioStreamClear) audioStreamClear = nullptr;
  decltype(&SDL_AudioStreamFlush) audioStreamFlush = nullptr;
  // the desktop window
  decltype(&SDL_GetCurrentVideoDriver) getCurrentVideoDriver = nullptr;
  decltype(&SDL_SetHint) setHint = nullptr;
  decltype(&SDL_CreateWindow) createWindow = nullptr;
  decltype(&SDL_DestroyWindow) destroyWindow = nullptr;
  decltype(&SDL_SetWindowTitle) setWindowTitle = nullptr;
  decltype(&SDL_GetWindowWMInfo) getWindowWMInfo = nullptr;
  decltype(&SDL_CreateRenderer) createRenderer = nullptr;
  decltype(&SDL_DestroyRenderer) destroyRenderer = nullptr;
  decltype(&SDL_CreateTexture) createTexture = nullptr;
  decltype(&SDL_DestroyTexture) destroyTexture = nullptr;
  decltype(&SDL_UpdateTexture) updateTexture = nullptr;
  decltype(&SDL_RenderCopy) renderCopy = nullptr;
  decltype(&SDL_RenderPresent) renderPresent = nullptr;
  decltype(&SDL_EventState) eventState = nullptr;
  decltype(&SDL_PollEvent) pollEvent = nullptr;
  decltype(&SDL_WaitEventTimeout) waitEventTimeout = nullptr;
};

// SDL's functions, loading the library on the first call; null when it
// cannot be loaded, and then `sdlLoadError` says why.
const SdlCalls* sdl();
const char* sdlLoadError();

}  // namespace audio
