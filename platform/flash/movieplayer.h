#pragma once
// The engine of the device's Flash control: one loaded movie, its timeline
// played at the movie's frame rate, and the view that places the movie in a
// window of any size (zoom, the root's position, rotation and scale, and the
// alignment). The control owns one and drives it from its automation members;
// the engine itself knows nothing of windows or COM.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/flash/avm.h"
#include "platform/flash/swfmovie.h"
#include "platform/flash/swfpen.h"
#include "platform/flash/swfraster.h"
#include "platform/flash/swfrender.h"
#include "platform/flash/swfsoundplayer.h"
#include "platform/flash/swftimeline.h"

namespace swf {

// AlignMode bits; neither or both bits of an axis centre the movie on it.
enum AlignBits : int {
  kAlignLeft = 1,
  kAlignRight = 2,
  kAlignTop = 4,
  kAlignBottom = 8,
};

// Property indices of the root, as TSetProperty and TGetProperty number them.
enum RootProperty : int {
  kPropertyX = 0,
  kPropertyY = 1,
  kPropertyXScale = 2,
  kPropertyYScale = 3,
  kPropertyCurrentFrame = 4,
  kPropertyTotalFrames = 5,
  kPropertyAlpha = 6,
  kPropertyVisible = 7,
  kPropertyRotation = 10,
};

class MoviePlayer {
 public:
  static constexpr int kMaxCatchUpFrames = 4;      // frames one late advance may make up
  static constexpr int kStreamCatchUpSeconds = 2;  // while a stream sound plays
  static constexpr float kDefaultFrameRate = 12;   // for a movie that gives none
  static constexpr uint32_t kDefaultBackground = 0xFFFFFF;
  static constexpr uint32_t kOutsideColor = 0xFF000000;  // the window beyond the movie

  MoviePlayer();
  ~MoviePlayer();

  // Loads a movie file's bytes. On failure there is no movie afterwards.
  // A new movie starts playing at its first frame.
  bool load(std::span<const uint8_t> file);
  void unload();
  bool hasMovie() const { return m_movie != nullptr; }
  const MovieDef* movie() const { return m_movie.get(); }
  MovieReadStatus lastLoadStatus() const { return m_lastStatus; }

  int totalFrames() const;   // 0 without a movie
  int currentFrame() const;  // 0-based
  float frameRate() const;   // frames per second
  bool playing() const;
  void setPlaying(bool playing);
  void play() { setPlaying(true); }
  void stop() { setPlaying(false); }
  void gotoFrame(int frame);  // clamped to the movie
  void forward() { gotoFrame(currentFrame() + 1); }
  void back() { gotoFrame(currentFrame() - 1); }
  // Back to the first frame, every sound stopped.
  void rewind();
  bool loop() const { return m_loop; }
  void setLoop(bool loop) { m_loop = loop; }
  // A label's frame, or none.
  std::optional<int> findLabel(std::string_view label) const;

  // Lets `milliseconds` of time pass: the timelines advance one frame per
  // frame period, making up at most kMaxCatchUpFrames when called late.
  void advance(double milliseconds);
  // One frame period.
  void tick();

  // Zoom(0) shows the whole movie; Zoom(n) shows n percent of its width and
  // height around its centre (below 100 a zoom in). Negative values are ignored.
  void zoom(int percent);
  int zoomPercent() const { return m_zoomPercent; }
  bool setRootProperty(int index, double value);
  std::optional<double> rootProperty(int index) const;
  void setAlignMode(int mode);
  int alignMode() const { return m_alignMode; }
  // 0xRRGGBB, or -1 for the movie's own background colour.
  void setBackgroundColor(int32_t rgb);
  int32_t backgroundColorSetting() const { return m_backgroundSetting; }
  uint32_t backgroundColor() const;  // 0xRRGGBB drawn under the movie

  // Bounds of the scripts of movies loaded from now on.
  void setScriptLimits(const avm::Limits& limits) { m_scriptLimits = limits; }
  // Each trace() line of the movie's scripts goes to `sink`.
  void setTraceSink(avm::Machine::TraceSink sink);
  // The script machine of the loaded movie; null without a movie or when
  // nothing in the movie can run a script.
  avm::Machine* scripts() { return m_machine.get(); }
  // The movie's sounds, playing on the device's wave output.
  MovieSounds& sounds() { return m_sounds; }
  // A key of the control's window reaches the movie's scripts.
  void keyDown(int keyCode, int charCode);
  void keyUp(int keyCode);
  // The pen in pixels of the window last drawn: buttons under it change
  // state and run their actions.
  void penDown(int x, int y);
  void penMove(int x, int y);
  void penUp(int x, int y);

  // Answers whether the picture changed since the last call, and forgets it.
  bool takeRepaint();
  // Draws the current frame into the whole canvas.
  void render(const Canvas& canvas);
  // Where the movie's twips land in a window of the given size.
  Matrix movieToPixels(int width, int height) const;

 private:
  void startTimeline();
  // Runs a button's actions for one of its transitions, on the timeline that holds it.
  void runButtonActions(const ButtonTarget& target, uint16_t condition);
  template <typename Step>
  void pen(int x, int y, Step step, std::optional<bool> down);
  void noteChanges();
  Matrix rootMatrix() const;

  std::unique_ptr<MovieDef> m_movie;
  MovieSounds m_sounds;  // outlives m_root, which tells it of frames and timelines
  PlayContext m_context;
  std::unique_ptr<avm::Machine> m_machine;  // outlives m_root, which reports to it
  avm::Machine::TraceSink m_traceSink;
  avm::Limits m_scriptLimits;
  std::unique_ptr<TimelineInstance> m_root;
  MovieRenderer m_renderer;
  PenTracker m_pen;
  int m_viewWidth = 0, m_viewHeight = 0;  // of the last render, where pen points lie
  MovieReadStatus m_lastStatus = MovieReadStatus::NotAMovie;
  bool m_loop = true;
  double m_pendingMs = 0;
  int m_zoomPercent = 100;
  int m_alignMode = 0;
  int32_t m_backgroundSetting = -1;
  double m_rootX = 0, m_rootY = 0, m_rootRotation = 0;
  double m_rootXScale = 100, m_rootYScale = 100, m_rootAlpha = 100;
  bool m_rootVisible = true;
  bool m_repaint = true;
};

}  // namespace swf
