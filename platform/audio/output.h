#pragma once
// Where device 0's mixed output goes: the host's sound device through SDL2
// audio, or the headless sink, which plays on the device clock (virtual in
// scripted sessions) and keeps what it played so tests can read the samples.
// A host without a sound device plays silence on the sink and says so once.

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

enum class OutputKind { Sink, Host };

// Chooses the output; the sink until something else is opened. Opening the
// host's device falls back to the sink, with one line on standard error.
void openOutput(OutputKind kind);
// Stops the host's device (back to the sink); the program calls it at exit.
void closeOutput();
OutputKind currentOutput();
// The mixer takes the level device 0 keeps now and every level set from now on.
void followDeviceLevel();

// ---- The headless sink ----
// Plays what the device clock says has passed since it last played.
void catchUp();
// Starts afresh at the clock's present time, forgetting what was kept.
void resetSink();
// Stereo frames played since the sink was reset (after catching up).
uint64_t framesPlayed();
// Kept interleaved stereo samples from frame `first` on (at most the last
// two minutes are kept), after catching up.
std::vector<int16_t> keptSamples(uint64_t first, uint64_t count);

// Lines for the state dump: the output, the device's level, on the sink the
// time played and the loudest sample of each channel over the last second
// played, and every stream.
std::string describe();

}  // namespace audio
