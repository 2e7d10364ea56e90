#include "platform/flash/swftimeline.h"

#include <algorithm>

#include "platform/flash/swfbuttoninstance.h"

namespace swf {

DisplayObject::DisplayObject() = default;
DisplayObject::~DisplayObject() = default;
DisplayObject::DisplayObject(DisplayObject&&) noexcept = default;
DisplayObject& DisplayObject::operator=(DisplayObject&&) noexcept = default;

void instantiate(DisplayObject& object, PlayContext& context, int nesting) {
  object.sprite.reset();
  object.button.reset();
  object.editText.reset();
  const Character* character = context.movie->character(object.characterId);
  if (!character || nesting >= context.limits.maxNesting) return;
  if (character->kind == CharacterKind::EditText) {
    const EditTextDef& def = *character->editText;
    const FontDef* font = def.fontId ? context.movie->font(*def.fontId) : nullptr;
    object.editText = std::make_shared<EditTextState>(makeEditTextState(def, font));
  } else if (character->kind == CharacterKind::Sprite)
    object.sprite = std::make_unique<TimelineInstance>(*character->sprite, context, nesting + 1);
  else if (character->kind == CharacterKind::Button)
    object.button = std::make_unique<ButtonInstance>(*character->button, context, nesting + 1);
}

TimelineInstance::TimelineInstance(const TimelineDef& def, PlayContext& context, int nesting)
    : m_def(def), m_context(context), m_nesting(nesting) {
  if (m_context.scripts) m_context.scripts->timelineStarted(*this);
  if (!m_def.frames.empty()) {
    applyFrame(0);
    enterSounds(0, false);
    runActions(0);
  }
}

TimelineInstance::~TimelineInstance() {
  setMask(nullptr);
  if (m_masking) m_masking->setMask(nullptr);
  while (!m_displayList.empty()) eraseObject(m_displayList.begin());
  if (m_context.sounds) m_context.sounds->timelineGone(*this);
  if (m_context.scripts) m_context.scripts->timelineGone(*this);
}

void TimelineInstance::adopt(DisplayObject& object, Depth depth) {
  if (object.editText) {
    object.editText->parent = this;
    object.editText->holder = &object;
    object.editText->depth = depth;
  }
  if (!object.sprite) return;
  object.sprite->m_parent = this;
  object.sprite->m_holder = &object;
  object.sprite->m_depth = depth;
}

void TimelineInstance::rehome() {
  for (auto& [depth, object] : m_displayList) adopt(object, depth);
}

DisplayObject* TimelineInstance::placeScripted(Depth depth, uint16_t characterId,
                                               std::shared_ptr<const TimelineDef> def, const std::string& name) {
  remove(depth);
  if (!def || def->frames.empty() || m_context.liveObjects >= m_context.limits.maxObjects ||
      m_nesting >= m_context.limits.maxNesting)
    return nullptr;
  ++m_context.liveObjects;
  DisplayObject& object = m_displayList[depth];
  object.characterId = characterId;
  object.name = name;
  object.scripted = true;
  object.sprite = std::make_unique<TimelineInstance>(*def, m_context, m_nesting + 1);
  object.sprite->m_ownDef = std::move(def);
  adopt(object, depth);
  m_context.changed = true;
  return &object;
}

void TimelineInstance::setMask(TimelineInstance* mask) {
  if (mask == this) mask = nullptr;
  if (m_maskedBy) m_maskedBy->m_masking = nullptr;
  m_maskedBy = nullptr;
  if (mask) {
    if (mask->m_masking) mask->m_masking->m_maskedBy = nullptr;
    mask->m_masking = this;
    m_maskedBy = mask;
  }
  m_context.changed = true;
}

DisplayObject* TimelineInstance::placeScriptedText(Depth depth, EditTextState state, const std::string& name) {
  remove(depth);
  if (m_context.liveObjects >= m_context.limits.maxObjects) return nullptr;
  ++m_context.liveObjects;
  DisplayObject& object = m_displayList[depth];
  object.name = name;
  object.scripted = true;
  object.editText = std::make_shared<EditTextState>(std::move(state));
  adopt(object, depth);
  m_context.changed = true;
  return &object;
}

void TimelineInstance::removeDepth(Depth depth) { remove(depth); }

void TimelineInstance::swapDepths(Depth from, Depth to) {
  if (from == to) return;
  auto a = m_displayList.extract(from);
  auto b = m_displayList.extract(to);
  if (!a.empty()) {
    a.key() = to;
    m_displayList.insert(std::move(a));
  }
  if (!b.empty()) {
    b.key() = from;
    m_displayList.insert(std::move(b));
  }
  rehome();
  m_context.changed = true;
}

void TimelineInstance::eraseObject(std::map<Depth, DisplayObject>::iterator it) {
  --m_context.liveObjects;
  m_displayList.erase(it);
  m_context.changed = true;
}

void TimelineInstance::applyFrame(int frame) {
  for (const DisplayCommand& command : m_def.frames[size_t(frame)].commands) {
    if (command.kind == DisplayCommand::Kind::Place)
      place(command.place);
    else
      remove(command.remove.depth);
  }
}

void TimelineInstance::placeNew(DisplayObject& object, uint16_t characterId) {
  object.characterId = characterId;
  instantiate(object, m_context, m_nesting);
  if (object.sprite) object.sprite->m_parent = this;
}

void TimelineInstance::place(const PlaceCommand& command) {
  auto it = m_displayList.find(command.depth);
  bool placedText = false;
  if (command.move) {
    if (it == m_displayList.end()) return;  // nothing there to modify
    if (command.characterId && *command.characterId != it->second.characterId)
      placeNew(it->second, *command.characterId);
  } else {
    if (!command.characterId) return;
    if (it != m_displayList.end()) eraseObject(it);
    if (m_context.liveObjects >= m_context.limits.maxObjects) return;
    ++m_context.liveObjects;
    it = m_displayList.try_emplace(command.depth).first;
    // Going back keeps a sprite or field that was already there with the same character.
    std::unique_ptr<TimelineInstance> kept;
    std::shared_ptr<EditTextState> keptText;
    if (m_previous) {
      auto old = m_previous->find(command.depth);
      if (old != m_previous->end() && old->second.characterId == *command.characterId) {
        kept = std::move(old->second.sprite);
        keptText = std::move(old->second.editText);
        it->second.name = old->second.name;  // the name it was given when placed unnamed
      }
    }
    if (kept || keptText) {
      it->second.characterId = *command.characterId;
      it->second.sprite = std::move(kept);
      it->second.editText = std::move(keptText);
    } else {
      placeNew(it->second, *command.characterId);
      placedText = it->second.editText != nullptr;
    }
  }
  DisplayObject& object = it->second;
  if (command.matrix) object.matrix = *command.matrix;
  if (command.colorTransform) object.colorTransform = *command.colorTransform;
  if (command.ratio) object.ratio = *command.ratio;
  if (command.name) object.name = *command.name;
  if (command.clipDepth) object.clipDepth = *command.clipDepth;
  if (command.clipEvents) object.clipEvents = command.clipEvents;
  if (command.blendMode) object.blendMode = *command.blendMode;
  if (command.opaqueBackground) object.opaqueBackground = command.opaqueBackground;
  if (command.visible) object.visible = *command.visible;
  if (command.filters) object.filters = command.filters;
  adopt(object, command.depth);
  m_context.changed = true;
  if (placedText && m_context.scripts) m_context.scripts->textFieldPlaced(*this, object);
}

void TimelineInstance::remove(Depth depth) {
  auto it = m_displayList.find(depth);
  if (it != m_displayList.end()) eraseObject(it);
}

void TimelineInstance::gotoFrame(int frame) {
  frame = std::clamp(frame, 0, frameCount() - 1);
  if (frame == m_current || frameCount() == 0) return;
  if (frame > m_current) {
    for (int f = m_current + 1; f <= frame; ++f) {
      // Clips placed on the frames passed start before the target frame's scripts.
      if (f == frame && m_context.scripts) m_context.scripts->framesPassed();
      applyFrame(f);  // each marks its changes
    }
  } else {
    std::map<Depth, DisplayObject> previous;
    previous.swap(m_displayList);
    m_previous = &previous;
    for (int f = 0; f <= frame; ++f) {
      if (f == frame && m_context.scripts) m_context.scripts->framesPassed();
      applyFrame(f);
    }
    m_previous = nullptr;
    // What scripts made or moved stays through a jump back, above the
    // depths the timeline places at.
    for (auto it = previous.begin(); it != previous.end();) {
      if (it->second.scripted && it->first >= kScriptDepthBase && !m_displayList.count(it->first)) {
        m_displayList.insert(previous.extract(it++));
      } else {
        ++it;
      }
    }
    rehome();
    m_context.liveObjects -= previous.size();
    m_context.changed = true;
  }
  m_current = frame;
  enterSounds(frame, true);
  runActions(frame);
}

void TimelineInstance::enterSounds(int frame, bool jumped) {
  if (m_context.sounds) m_context.sounds->frameEntered(*this, frame, jumped);
}

bool TimelineInstance::jump(int frame) {
  if (m_context.jumpsLeft <= 0) return false;
  --m_context.jumpsLeft;
  gotoFrame(frame);
  return true;
}

void TimelineInstance::runActions(int frame) {
  if (m_context.scripts) {
    m_context.scripts->frameEntered(*this, frame);
    return;
  }
  runActions(m_def.frames[size_t(frame)].actions);
}

void TimelineInstance::runActions(const std::vector<Action>& actions) {
  for (const Action& action : actions) {
    switch (action.kind) {
      case Action::Kind::Stop:
        m_playing = false;
        break;
      case Action::Kind::Play:
        m_playing = true;
        break;
      case Action::Kind::GotoFrame:
        jump(action.frame);
        break;
      case Action::Kind::NextFrame:
        m_playing = false;
        if (m_current + 1 < frameCount()) jump(m_current + 1);
        break;
      case Action::Kind::PreviousFrame:
        m_playing = false;
        if (m_current > 0) jump(m_current - 1);
        break;
      case Action::Kind::GotoLabel:
        if (auto target = m_def.findLabel(action.label)) jump(*target);
        break;
    }
  }
}

void TimelineInstance::tick(bool loop) {
  // From the top of the display list down, as the player advances them.
  for (auto it = m_displayList.rbegin(); it != m_displayList.rend(); ++it) {
    if (it->second.sprite) it->second.sprite->tick(true);
    if (it->second.button) it->second.button->tick();
  }
  if (!m_playing || frameCount() <= 1) return;
  if (m_current + 1 < frameCount()) {
    int next = m_current + 1;
    applyFrame(next);  // marks a change when the frame has commands
    m_current = next;
    enterSounds(next, false);
    runActions(next);
  } else if (loop) {
    gotoFrame(0);
  } else {
    m_playing = false;
  }
}

}  // namespace swf
