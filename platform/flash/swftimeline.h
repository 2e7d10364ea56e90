#pragma once
// The playing state of a timeline: its display list by depth, the current
// frame and whether it plays. The root and every placed sprite own one; a
// sprite's timeline plays on its own, whether or not its parent plays.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/flash/swfedittext.h"
#include "platform/flash/swfmovie.h"

namespace swf {

class TimelineInstance;
class ButtonInstance;

// Limits that keep a hostile movie's cost per frame bounded.
struct PlayLimits {
  size_t maxObjects = 20000;  // display objects alive in the whole tree
  int maxNesting = 16;        // sprites inside sprites
  int maxJumpsPerTick = 64;   // frame jumps made by actions in one tick
};

// The script machine as the timelines see it: told when a timeline starts,
// enters a frame and goes, so that it can queue and run their scripts.
class ScriptHost {
 public:
  virtual ~ScriptHost() = default;
  virtual void timelineStarted(TimelineInstance& timeline) = 0;
  virtual void frameEntered(TimelineInstance& timeline, int frame) = 0;
  virtual void timelineGone(TimelineInstance& timeline) = 0;
  virtual void buttonAction(TimelineInstance& timeline, const ActionBytes& actions) = 0;
  // A jump passed frames on its way; what they placed starts now.
  virtual void framesPassed() = 0;
  // A text field was placed on `parent` (its variable is bound now).
  virtual void textFieldPlaced(TimelineInstance& parent, DisplayObject& object) {
    (void)parent;
    (void)object;
  }
};

// How a script's Sound shapes what plays under a clip (or the whole movie):
// a volume, then how much of each input side each output side takes, all in
// percent. ll is left into left, lr right into left, rr right into right
// and rl left into right.
struct SoundTransform {
  double volume = 100;
  double ll = 100, lr = 0, rr = 100, rl = 0;
};

// The movie's sounds as the timelines see them: told of every frame entered
// (by playing on, or by a jump) and of timelines that go, whose streams stop.
class SoundHost {
 public:
  virtual ~SoundHost() = default;
  virtual void frameEntered(TimelineInstance& timeline, int frame, bool jumped) = 0;
  virtual void timelineGone(TimelineInstance& timeline) = 0;
  virtual void stopAll() = 0;
  // A button held by `parent` plays sound `id` on a transition.
  virtual void buttonSound(TimelineInstance& parent, uint16_t id, const SoundInfo& info) = 0;
};

// What every timeline of one movie shares while it plays.
struct PlayContext {
  const MovieDef* movie = nullptr;
  PlayLimits limits;
  size_t liveObjects = 0;
  int jumpsLeft = 0;
  bool changed = false;           // something visible changed since the flag was cleared
  ScriptHost* scripts = nullptr;  // runs frame actions when set; else only the simple ones run
  SoundHost* sounds = nullptr;    // plays the frames' sounds when set
};

struct DisplayObject {
  DisplayObject();
  ~DisplayObject();
  DisplayObject(DisplayObject&&) noexcept;
  DisplayObject& operator=(DisplayObject&&) noexcept;

  uint16_t characterId = 0;
  Matrix matrix;
  ColorTransform colorTransform;
  uint16_t ratio = 0;
  uint16_t clipDepth = 0;  // non-zero: a mask, which is not drawn
  std::string name;
  std::unique_ptr<TimelineInstance> sprite;  // for sprite characters
  ClipEventHandlers clipEvents;
  bool visible = true;
  bool scripted = false;                    // made by a script: the timeline's own frames leave it alone
  std::unique_ptr<ButtonInstance> button;   // for button characters
  std::shared_ptr<EditTextState> editText;  // for text fields; script objects hold it weakly
  uint8_t blendMode = 0;
  std::optional<Rgba> opaqueBackground;
  Filters filters;
  // A script's window onto the object (twips of its own space): its content
  // shifted by the corner and cut to the size.
  std::optional<Rect> scrollRect;
  // Scales (percent) and rotation (degrees) as a script gave them, read back
  // as given while the matrix is still the one they made.
  struct GivenTransform {
    float a, b, c, d;
    double xScale, yScale, rotation;
  };
  std::optional<GivenTransform> given;
};

// Makes what a placed character needs to play (a sprite's timeline, a
// button's state) for `object`, whose characterId is set; counts nothing.
void instantiate(DisplayObject& object, PlayContext& context, int nesting);

class TimelineInstance {
 public:
  // `context` outlives the instance. The instance enters its first frame.
  TimelineInstance(const TimelineDef& def, PlayContext& context, int nesting);
  ~TimelineInstance();
  TimelineInstance(const TimelineInstance&) = delete;
  TimelineInstance& operator=(const TimelineInstance&) = delete;

  int frameCount() const { return int(m_def.frames.size()); }
  int currentFrame() const { return m_current; }
  bool playing() const { return m_playing; }
  void setPlaying(bool playing) { m_playing = playing; }
  const std::map<Depth, DisplayObject>& displayList() const { return m_displayList; }
  std::map<Depth, DisplayObject>& displayList() { return m_displayList; }
  const TimelineDef& def() const { return m_def; }
  PlayContext& context() { return m_context; }
  // Where this timeline is shown: its parent (none for the root) and the
  // display object holding it there. Both are non-owning back-links.
  TimelineInstance* parent() const { return m_parent; }
  DisplayObject* holder() const { return m_holder; }
  Depth depth() const { return m_depth; }

  // Script-made display objects: a new timeline of `def` (a sprite or an
  // empty one) at `depth`, replacing what was there. Null when a limit says no.
  DisplayObject* placeScripted(Depth depth, uint16_t characterId, std::shared_ptr<const TimelineDef> def,
                               const std::string& name);
  // A script-made text field at `depth`, replacing what was there.
  DisplayObject* placeScriptedText(Depth depth, EditTextState state, const std::string& name);
  void removeDepth(Depth depth);
  void swapDepths(Depth from, Depth to);

  // What the clip's scripts drew with the drawing methods, under its display
  // list; null until they draw.
  std::unique_ptr<ShapeDef> drawing;
  // What a script's Sound made for this clip set; it shapes the sounds of
  // this timeline and every timeline under it.
  SoundTransform soundTransform;

  // A script's mask (setMask): `mask` is shown only as this timeline's
  // mask, never by itself. One mask per timeline and one timeline per mask;
  // the links are broken as either goes. Null clears this timeline's mask.
  void setMask(TimelineInstance* mask);
  TimelineInstance* maskedBy() const { return m_maskedBy; }
  TimelineInstance* masking() const { return m_masking; }

  // Goes to `frame` (clamped), rebuilding the display list when going back,
  // and runs the actions of the frame reached.
  void gotoFrame(int frame);
  // One frame period: children first, then this timeline's next frame when
  // playing. At the end it starts again when `loop`, and stops otherwise.
  void tick(bool loop);
  // Runs frame actions as if this timeline's frame held them; a button's
  // actions run on the timeline that holds the button.
  void runActions(const std::vector<Action>& actions);

 private:
  void applyFrame(int frame);
  void place(const PlaceCommand& command);
  void placeNew(DisplayObject& object, uint16_t characterId);
  void remove(Depth depth);
  void runActions(int frame);
  void enterSounds(int frame, bool jumped);
  bool jump(int frame);
  void eraseObject(std::map<Depth, DisplayObject>::iterator it);

  const TimelineDef& m_def;
  PlayContext& m_context;
  int m_nesting;
  int m_current = 0;
  bool m_playing = true;
  std::map<Depth, DisplayObject> m_displayList;
  // While going back: the old list, whose sprites may be kept.
  std::map<Depth, DisplayObject>* m_previous = nullptr;
  TimelineInstance* m_parent = nullptr;
  DisplayObject* m_holder = nullptr;
  Depth m_depth = 0;
  std::shared_ptr<const TimelineDef> m_ownDef;  // for script-made timelines
  TimelineInstance* m_maskedBy = nullptr;       // back-links, see setMask
  TimelineInstance* m_masking = nullptr;
  void adopt(DisplayObject& object, Depth depth);
  void rehome();
};

}  // namespace swf
