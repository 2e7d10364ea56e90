#pragma once
// The sounds of a playing movie on the device's wave output: each event
// sound and each timeline's stream plays on a wave stream of its own at the
// sound's rate; the device mixes them at its level. The movie player owns
// one and pumps it as time passes, keeping every stream a little ahead of
// the device.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
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
  void buttonSound(TimelineInstance& parent, uint16_t id, const SoundInfo& info) override { start(id, info, &parent); }

  // Starts the sound character `id` (or stops it, for a sync stop) as a
  // sound of `owner` (null: of the movie itself).
  void start(uint16_t id, const SoundInfo& info, TimelineInstance* owner = nullptr);
  void stop(uint16_t id);
  // Volume 0-100 (and more) and pan -100 (left) to 100 (right) of the movie's sounds.
  void setTransform(double volume, double pan);
  // The transform of every sound of the movie; a clip's own is on its timeline.
  SoundTransform& movieTransform() { return m_movieTransform; }
  // Every sound takes its transforms as they are now.
  void refreshGains();

  // ---- What a script's Sound objects ask ----
  // Starts `id` at `offsetSeconds`, `loops` times, for `owner`; answers the
  // ticket of the instance, 0 when nothing started.
  uint64_t startScripted(uint16_t id, TimelineInstance* owner, double offsetSeconds, int loops);
  // Stops the sounds of `owner` and every timeline under it (every sound for
  // null, streams included), or only the instances of `id` among them.
  void stopScripted(TimelineInstance* owner, std::optional<uint16_t> id);
  // Where a playing instance is in its sound, in milliseconds; none once it ended.
  std::optional<double> positionMs(uint64_t ticket) const;
  // The length of a defined sound, in milliseconds; none for no such sound.
  std::optional<double> durationMs(uint16_t id) const;
  // Instances that ended since the last call: completed ones played to their
  // end, the others were stopped.
  struct Ended {
    uint64_t ticket;
    bool completed;
  };
  std::vector<Ended> takeEnded();
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
  bool startVoice(uint16_t id, const SoundInfo& info, TimelineInstance* owner, uint64_t ticket);
  void applyGain(SoundVoice& voice) const;
  void dropEvents(const std::function<bool(const EventVoice&)>& which);

  const MovieDef* m_movie = nullptr;
  std::map<uint16_t, std::shared_ptr<const Pcm>> m_decoded;
  size_t m_decodedSamples = 0;
  std::vector<std::unique_ptr<EventVoice>> m_events;
  std::map<const TimelineInstance*, std::unique_ptr<StreamVoice>> m_streams;
  bool m_paused = false;
  SoundTransform m_movieTransform;
  uint64_t m_nextTicket = 1;
  std::vector<Ended> m_ended;
};

}  // namespace swf
