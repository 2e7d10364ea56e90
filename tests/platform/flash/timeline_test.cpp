#include "platform/flash/swftimeline.h"

#include <gtest/gtest.h>

#include "platform/flash/movieplayer.h"
#include "tests/platform/flash/flashtest.h"
#include "tools/swfwriter/actionwriter.h"
#include "tools/swfwriter/samples.h"

using namespace swf;
using namespace swfwrite;

namespace {

// Depth -> character of a display list, for comparing with expectations.
std::map<uint16_t, uint16_t> contents(const TimelineInstance& t) {
  std::map<uint16_t, uint16_t> out;
  for (const auto& [depth, object] : t.displayList()) out[depth] = object.characterId;
  return out;
}

struct Played {
  std::vector<uint8_t> file;
  std::unique_ptr<MovieDef> def;
  PlayContext context;
  std::unique_ptr<TimelineInstance> root;
  explicit Played(const MovieWriter& writer) : file(writer.finish()), def(readMovie(file)) {
    context.movie = def.get();
    context.jumpsLeft = context.limits.maxJumpsPerTick;
    root = std::make_unique<TimelineInstance>(def->root, context, 0);
  }
  ~Played() { root.reset(); }
};

MovieWriter threeShapes() {
  auto movie = flashtest::whiteMovie();
  for (uint16_t id = 1; id <= 3; ++id) movie.defineShape(id, flashtest::rectShape(0, 0, 10, 10, {0, 0, 0, 255}));
  return movie;
}

TEST(Timeline, FollowsPlaceMoveAndRemoveFrameByFrame) {
  auto movie = threeShapes();
  movie.placeObject2({.depth = 1, .characterId = 1});
  movie.placeObject2({.depth = 5, .characterId = 2});
  movie.showFrame();
  movie.placeObject2({.depth = 1, .move = true, .matrix = Matrix::translation(40, 0)});
  movie.placeObject2({.depth = 9, .move = true, .matrix = Matrix::translation(1, 1)});  // nothing there
  movie.showFrame();
  movie.removeObject2(5);
  movie.placeObject2({.depth = 1, .move = true, .characterId = 3});  // replace, keeping the matrix
  movie.showFrame();
  movie.placeObject(2, 1);   // PlaceObject puts a new one in place of the old
  movie.removeObject(1, 7);  // nothing there
  movie.showFrame();
  Played p(movie);
  const std::map<uint16_t, uint16_t> expected[] = {{{1, 1}, {5, 2}}, {{1, 1}, {5, 2}}, {{1, 3}}, {{1, 2}}};
  for (int f = 0; f < 4; ++f) {
    SCOPED_TRACE(f);
    p.root->gotoFrame(f);
    EXPECT_EQ(p.root->currentFrame(), f);
    EXPECT_EQ(contents(*p.root), expected[f]);
    float x = p.root->displayList().at(1).matrix.tx;
    EXPECT_FLOAT_EQ(x, f == 0 || f == 3 ? 0 : 40);
  }
  EXPECT_EQ(p.context.liveObjects, 1u);
}

TEST(Timeline, GoingBackRebuildsTheFramesDisplayList) {
  auto movie = threeShapes();
  movie.placeObject2({.depth = 1, .characterId = 1});
  movie.showFrame();
  movie.placeObject2({.depth = 2, .characterId = 2});
  movie.placeObject2({.depth = 1, .move = true, .matrix = Matrix::translation(99, 0)});
  movie.showFrame();
  movie.removeObject2(1);
  movie.showFrame();
  Played p(movie);
  p.root->gotoFrame(2);
  EXPECT_EQ(contents(*p.root), (std::map<uint16_t, uint16_t>{{2, 2}}));
  p.root->gotoFrame(0);
  EXPECT_EQ(contents(*p.root), (std::map<uint16_t, uint16_t>{{1, 1}}));
  EXPECT_FLOAT_EQ(p.root->displayList().at(1).matrix.tx, 0);
  p.root->gotoFrame(1);
  EXPECT_FLOAT_EQ(p.root->displayList().at(1).matrix.tx, 99);
  p.root->gotoFrame(-5);
  EXPECT_EQ(p.root->currentFrame(), 0);
  p.root->gotoFrame(1000);
  EXPECT_EQ(p.root->currentFrame(), 2);
  EXPECT_EQ(p.context.liveObjects, 1u);
}

TEST(Timeline, PlaysToTheEndThenLoopsOrStops) {
  auto movie = threeShapes();
  for (int f = 0; f < 3; ++f) movie.showFrame();
  for (bool loop : {true, false}) {
    SCOPED_TRACE(loop ? "loop" : "no loop");
    Played p(movie);
    std::vector<int> frames;
    for (int i = 0; i < 5; ++i) {
      p.root->tick(loop);
      frames.push_back(p.root->currentFrame());
    }
    EXPECT_EQ(frames, loop ? (std::vector<int>{1, 2, 0, 1, 2}) : (std::vector<int>{1, 2, 2, 2, 2}));
    EXPECT_EQ(p.root->playing(), loop);
  }
}

TEST(Timeline, SpritesPlayTheirOwnTimelineEvenWhenTheRootStops) {
  auto movie = threeShapes();
  TagStream sprite;
  sprite.placeObject2({.depth = 1, .characterId = 1});
  sprite.showFrame();
  sprite.placeObject2({.depth = 1, .move = true, .characterId = 2});
  sprite.showFrame();
  sprite.placeObject2({.depth = 1, .move = true, .characterId = 3});
  sprite.showFrame();
  movie.defineSprite(10, sprite);
  movie.placeObject2({.depth = 1, .characterId = 10});
  movie.doAction({actionStop()});
  movie.showFrame();
  movie.showFrame();
  Played p(movie);
  EXPECT_FALSE(p.root->playing());
  const TimelineInstance* s = p.root->displayList().at(1).sprite.get();
  ASSERT_TRUE(s);
  std::vector<uint16_t> shown;
  for (int i = 0; i < 4; ++i) {
    shown.push_back(s->displayList().at(1).characterId);
    p.root->tick(true);
  }
  EXPECT_EQ(shown, (std::vector<uint16_t>{1, 2, 3, 1}));
  EXPECT_EQ(p.root->currentFrame(), 0);
}

TEST(Timeline, FrameActionsDriveTheTimeline) {
  // Frame 0: nothing. Frame 1: go to "loop" (3). Frame 3 "loop": previous
  // frame (2, stopping there). Frame 2: nothing. Frame 4: stop.
  auto movie = threeShapes();
  movie.showFrame();
  movie.doAction({actionGotoLabel("Loop")});
  movie.showFrame();
  movie.showFrame();
  movie.frameLabel("loop");
  movie.doAction({actionPreviousFrame()});
  movie.showFrame();
  movie.doAction({actionStop()});
  movie.showFrame();
  Played p(movie);
  p.root->tick(true);  // frame 1 jumps to 3, which steps back to 2 and stops
  EXPECT_EQ(p.root->currentFrame(), 2);
  EXPECT_FALSE(p.root->playing());
  p.root->setPlaying(true);
  p.root->tick(true);
  EXPECT_EQ(p.root->currentFrame(), 2);  // 3 stepped back again
  p.root->gotoFrame(4);
  EXPECT_FALSE(p.root->playing());
}

TEST(Timeline, JumpingBackAndForthForeverIsCutShortEachTick) {
  auto movie = threeShapes();
  movie.doAction({actionGotoFrame(1)});
  movie.showFrame();
  movie.doAction({actionGotoFrame(0)});
  movie.showFrame();
  Played p(movie);  // must return at all
  p.context.jumpsLeft = p.context.limits.maxJumpsPerTick;
  p.root->tick(true);
  EXPECT_EQ(p.context.jumpsLeft, 0);
}

TEST(Timeline, ASpriteThatHoldsItselfStopsAtTheNestingLimit) {
  auto movie = threeShapes();
  TagStream sprite;
  sprite.placeObject2({.depth = 1, .characterId = 10});  // itself
  sprite.placeObject2({.depth = 2, .characterId = 10});
  sprite.showFrame();
  movie.defineSprite(10, sprite);
  movie.placeObject2({.depth = 1, .characterId = 10});
  movie.showFrame();
  Played p(movie);
  int nesting = 0;
  for (const TimelineInstance* t = p.root.get(); t && !t->displayList().empty(); ++nesting)
    t = t->displayList().begin()->second.sprite.get();
  EXPECT_EQ(nesting, p.context.limits.maxNesting + 1);
  EXPECT_LE(p.context.liveObjects, p.context.limits.maxObjects);
}

TEST(MoviePlayerTimeline, AdvancesAtTheFrameRate) {
  auto movie = flashtest::whiteMovie(100, 100, 10);  // 100 ms a frame
  for (int f = 0; f < 20; ++f) movie.showFrame();
  MoviePlayer player;
  ASSERT_TRUE(player.load(movie.finish()));
  EXPECT_EQ(player.totalFrames(), 20);
  EXPECT_TRUE(player.playing());
  struct Step {
    double ms;
    int frame;
  } steps[] = {{99, 0}, {1, 1}, {250, 3}, {50, 4}, {10000, 8}, {100, 9}};
  for (const auto& s : steps) {
    player.advance(s.ms);
    EXPECT_EQ(player.currentFrame(), s.frame) << "after " << s.ms << " ms";
  }
  player.stop();
  player.advance(1000);
  EXPECT_EQ(player.currentFrame(), 9);
  player.gotoFrame(15);
  EXPECT_EQ(player.currentFrame(), 15);
  player.back();
  EXPECT_EQ(player.currentFrame(), 14);
  player.forward();
  player.forward();
  EXPECT_EQ(player.currentFrame(), 16);
  player.rewind();
  EXPECT_EQ(player.currentFrame(), 0);
  EXPECT_FALSE(player.playing());
}

// Whatever can run a script, anywhere in the movie, gets the script machine;
// a movie with nothing of the kind plays without one.
TEST(MoviePlayerTimeline, BuildsTheScriptMachineOnlyForWhatCanRunAScript) {
  const struct {
    const char* name;
    void (*add)(MovieWriter&);
    bool scripts;
    int frameAfterOnePeriod;
  } rows[] = {
      {"shapes, sprites, a button without actions",
       [](MovieWriter& m) {
         m.defineButton2(3, {{1 | 8, 1, 1, {}}});
         TagStream sprite;
         sprite.placeObject2({.depth = 1, .characterId = 1});
         sprite.showFrame();
         m.defineSprite(2, sprite);
         m.placeObject2({.depth = 1, .characterId = 2});
         m.placeObject2({.depth = 2, .characterId = 3});
       },
       false, 1},
      {"a frame script that stops", [](MovieWriter& m) { m.doAction({actionStop()}); }, true, 0},
      {"a sprite's frame script",
       [](MovieWriter& m) {
         TagStream sprite;
         sprite.doAction({actionPlay()});
         sprite.showFrame();
         m.defineSprite(2, sprite);
       },
       true, 1},
      {"an init script that stops",
       [](MovieWriter& m) {
         TagStream sprite;
         sprite.showFrame();
         m.defineSprite(2, sprite);
         doInitAction(m, 2, ActionWriter().op(0x07));
       },
       true, 0},
      {"clip events",
       [](MovieWriter& m) {
         placeWithEvents(m, 1, 1, "clip", {{0x02, ActionWriter().op(0x07)}});
       },
       true, 1},
      {"button actions",
       [](MovieWriter& m) {
         m.defineButton2(3, {{1 | 8, 1, 1, {}}}, {{0x08, {actionStop()}}});
       },
       true, 1},
      {"a text field", [](MovieWriter& m) { m.defineEditText(3, {.xMax = 400, .yMax = 400, .variable = "v"}); }, true,
       1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto movie = flashtest::whiteMovie();
    movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, {0, 0, 0, 255}));
    row.add(movie);
    movie.showFrame();
    movie.showFrame();
    MoviePlayer player;
    ASSERT_TRUE(player.load(movie.finish()));
    EXPECT_EQ(player.scripts() != nullptr, row.scripts);
    player.advance(1000.0 / 12);
    EXPECT_EQ(player.currentFrame(), row.frameAfterOnePeriod);
  }
}

TEST(MoviePlayerTimeline, WithoutAMovieEverythingIsZero) {
  MoviePlayer player;
  const uint8_t garbage[] = {'X', 'W', 'S', 1, 2, 3, 4, 5, 6, 7};
  EXPECT_FALSE(player.load(garbage));
  EXPECT_EQ(player.lastLoadStatus(), MovieReadStatus::NotAMovie);
  EXPECT_FALSE(player.hasMovie());
  EXPECT_EQ(player.totalFrames(), 0);
  EXPECT_EQ(player.currentFrame(), 0);
  EXPECT_FALSE(player.playing());
  player.play();
  player.gotoFrame(3);
  player.advance(1000);
  EXPECT_FALSE(player.playing());
  auto picture = flashtest::render(player, 20, 10);
  EXPECT_EQ(picture.count(0x000000), 200);  // only the window's own black
}

TEST(MoviePlayerTimeline, ANewMovieReplacesTheOldAndAFailedLoadLeavesNone) {
  MoviePlayer player;
  ASSERT_TRUE(player.load(swfwrite::countingMovie(5, 12, 50, 50, false)));
  player.gotoFrame(3);
  player.setLoop(false);
  ASSERT_TRUE(player.load(swfwrite::countingMovie(7, 12, 50, 50, true)));
  EXPECT_EQ(player.totalFrames(), 7);
  EXPECT_EQ(player.currentFrame(), 0);
  EXPECT_TRUE(player.playing());
  const uint8_t cut[] = {'F', 'W', 'S', 6};
  EXPECT_FALSE(player.load(cut));
  EXPECT_EQ(player.totalFrames(), 0);
}

}  // namespace
