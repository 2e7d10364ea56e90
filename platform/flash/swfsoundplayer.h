#pragma once
// The sounds of a playing movie on the device's wave output: each event
// sound and each timeline's stream plays on a wave stream of its own at the
// sound's rate; the device mixes them at its level. The movie player owns
// one and pumps it as time passes, keeping every stream a little ahead of
// the device.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/flash/swfmovie.h"
#include "platform/flash/swftimeline.h"

namespace swf {

class SoundVoice;
class EventVoice;
class StreamVoice;

class MovieSounds final : public SoundHost {
 public:
  static constexpr size_t kMaxEventVoices = 32;
  static constexpr size_t kMaxDecodedSamples = size_t(32) << 20;  // of all the movie's sounds

  MovieSounds();
  ~MovieSounds() override;

  // Stops everything and forgets what was decoded; null for no movie.
  void setMovie(const MovieDef* movie);

  void frameEntered(TimelineInstance& timeline, int frame, bool jumped) override;
  void timelineGone(TimelineInstance& timeline) override;
  void stopAll() override;

  // Starts the sound character `id` (or stops it, for a sync stop).
  void start(uint16_t id, const SoundInfo& info);
  void stop(uint16_t id);
  // Volume 0-100 (and more) and pan -100 (left) to 100 (right) of the movie's sounds.
  void setTransform(double volume, double pan);
  void setPaused(bool paused);
  bool paused() const { return m_paused; }
  // Tops up every stream and lets go of the sounds that have ended.
  void pump();
  // A stream sound is playing: the timeline keeps pace with it.
  bool streaming() const;
  size_t playingVoices() const;

 private:
  std::shared_ptr<const Pcm> decoded(uint16_t id);
  const StreamHead* streamHead(const TimelineDef& def, int frame) const;
  void applyGain(SoundVoice& voice) const;

  const MovieDef* m_movie = nullptr;
  std::map<uint16_t, std::shared_ptr<const Pcm>> m_decoded;
  size_t m_decodedSamples = 0;
  std::vector<std::unique_ptr<EventVoice>> m_events;
  std::map<const TimelineInstance*, std::unique_ptr<StreamVoice>> m_streams;
  bool m_paused = false;
  double m_volume = 100, m_pan = 0;
};

}  // namespace swf
