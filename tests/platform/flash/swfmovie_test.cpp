#include "platform/flash/swfmovie.h"

#include <gtest/gtest.h>

#include "tests/platform/flash/flashtest.h"

using namespace swf;
using namespace swfwrite;
using flashtest::kTw;

namespace {

std::unique_ptr<MovieDef> read(const MovieWriter& writer, bool compressed = false) {
  auto file = writer.finish(compressed);
  return readMovie(file);
}

TEST(MovieDef, ReadsShapesOfEveryVersion) {
  for (int version = 1; version <= 4; ++version) {
    SCOPED_TRACE(version);
    auto movie = flashtest::whiteMovie();
    ShapeBuilder s;
    int solid = s.addSolidFill({10, 20, 30, 128});
    int linear = s.addLinearGradient(Matrix::scaling(0.5f, 0.5f), {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 64}}});
    int line = s.addLineStyle(3 * kTw, {1, 2, 3, 200});
    s.rectangle(0, 0, 100, 50, solid, line);
    s.setFill1(linear);
    s.moveTo(0, 0);
    s.curveTo(50, -50, 100, 0);
    movie.defineShape(7, s, version);
    auto def = read(movie);
    ASSERT_TRUE(def);
    const Character* c = def->character(7);
    ASSERT_TRUE(c);
    ASSERT_EQ(c->kind, CharacterKind::Shape);
    const ShapeDef& shape = *c->shape;
    ASSERT_EQ(shape.fills.size(), 2u);
    ASSERT_EQ(shape.lines.size(), 1u);
    uint8_t alpha = version >= 3 ? 128 : 255;  // earlier versions have no alpha
    EXPECT_EQ(shape.fills[0].color, (Rgba{10, 20, 30, alpha}));
    EXPECT_EQ(shape.fills[1].kind, FillKind::LinearGradient);
    ASSERT_EQ(shape.fills[1].stops.size(), 2u);
    EXPECT_EQ(shape.fills[1].stops[1].ratio, 255);
    EXPECT_EQ(shape.fills[1].stops[1].color.a, version >= 3 ? 64 : 255);
    EXPECT_FLOAT_EQ(shape.fills[1].matrix.a, 0.5f);
    EXPECT_EQ(shape.lines[0].width, 3 * kTw);
    EXPECT_EQ(shape.lines[0].color.b, 3);
    // Four straight edges around the solid fill, one curve with the gradient.
    ASSERT_EQ(shape.fillEdges[0].size(), 4u);
    ASSERT_EQ(shape.fillEdges[1].size(), 1u);
    EXPECT_TRUE(shape.fillEdges[1][0].curved);
    EXPECT_FLOAT_EQ(shape.fillEdges[1][0].control.y, -50);
    EXPECT_FLOAT_EQ(shape.fillEdges[1][0].to.x, 100);
    EXPECT_EQ(shape.bounds.xMax, 100);
  }
}

TEST(MovieDef, NewStyleArraysNumberTheirStylesAfresh) {
  auto movie = flashtest::whiteMovie();
  ShapeBuilder s;
  int red = s.addSolidFill({255, 0, 0, 255});
  s.rectangle(0, 0, 10, 10, red);
  s.newStyles();
  s.addSolidFill({0, 255, 0, 255});
  int blue = s.addSolidFill({0, 0, 255, 255});
  s.rectangle(20, 0, 10, 10, blue);
  movie.defineShape(1, s, 2);
  auto def = read(movie);
  const ShapeDef& shape = *def->character(1)->shape;
  ASSERT_EQ(shape.fills.size(), 3u);
  EXPECT_EQ(shape.fillEdges[0].size(), 4u);  // red
  EXPECT_EQ(shape.fillEdges[1].size(), 0u);  // green: unused
  ASSERT_EQ(shape.fillEdges[2].size(), 4u);  // blue, style 2 of the second array
  EXPECT_FLOAT_EQ(shape.fillEdges[2][0].from.x, 20);
}

TEST(MovieDef, OrientsEveryFillsEdgesWithTheFillOnTheRight) {
  // The same square once as fill 1 clockwise, once as fill 0 anticlockwise.
  auto movie = flashtest::whiteMovie();
  ShapeBuilder s;
  int fill = s.addSolidFill({0, 0, 0, 255});
  s.setFill0(fill);
  s.moveTo(0, 0);
  s.lineTo(0, 10);
  s.lineTo(10, 10);
  s.lineTo(10, 0);
  s.lineTo(0, 0);
  movie.defineShape(1, s, 1);
  auto def = read(movie);
  const auto& edges = def->character(1)->shape->fillEdges[0];
  ASSERT_EQ(edges.size(), 4u);
  // Reversed: the first edge now runs from (0, 10) to (0, 0).
  EXPECT_FLOAT_EQ(edges[0].from.y, 10);
  EXPECT_FLOAT_EQ(edges[0].to.y, 0);
}

TEST(MovieDef, ReadsTimelinesSpritesLabelsAndActions) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, {0, 0, 0, 255}));
  TagStream sprite;
  sprite.placeObject2({.depth = 1, .characterId = 1});
  sprite.showFrame();
  sprite.removeObject2(1);
  sprite.showFrame();
  sprite.showFrame();
  movie.defineSprite(2, sprite);
  movie.tag(777, {1, 2, 3, 4, 5});  // unknown: skipped by its length
  movie.placeObject2({.depth = 3, .characterId = 2, .ratio = 9, .name = std::string("spinner"), .clipDepth = 5});
  movie.frameLabel("Intro");
  movie.doAction({actionStop(), ActionRecord{0x96, {0, 'x', 0}}, actionGotoLabel("end"), actionGotoFrame(2)});
  movie.showFrame();
  movie.placeObject(1, 4, Matrix::translation(5, 6), ColorTransform{128, 128, 128, 256, 0, 0, 0, 0});
  movie.removeObject(2, 3);
  movie.showFrame();
  movie.frameLabel("end");
  movie.placeObject3({.depth = 4, .move = true, .matrix = Matrix::translation(7, 8)});
  movie.showFrame();

  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "CWS" : "FWS");
    auto def = read(movie, compressed);
    ASSERT_TRUE(def);
    EXPECT_TRUE(def->complete);
    EXPECT_EQ(def->background, (Rgba{255, 255, 255, 255}));
    ASSERT_EQ(def->root.frames.size(), 3u);
    const Character* s = def->character(2);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->kind, CharacterKind::Sprite);
    ASSERT_EQ(s->sprite->frames.size(), 3u);
    EXPECT_EQ(s->sprite->frames[1].commands[0].kind, DisplayCommand::Kind::Remove);

    const FrameDef& first = def->root.frames[0];
    EXPECT_EQ(first.label, "Intro");
    ASSERT_EQ(first.commands.size(), 1u);
    const PlaceCommand& p = first.commands[0].place;
    EXPECT_EQ(p.depth, 3);
    EXPECT_EQ(p.characterId, 2);
    EXPECT_EQ(p.ratio, 9);
    EXPECT_EQ(p.name, "spinner");
    EXPECT_EQ(p.clipDepth, 5);
    EXPECT_FALSE(p.matrix);
    ASSERT_EQ(first.actions.size(), 3u);  // the push in between is skipped
    EXPECT_EQ(first.actions[0].kind, Action::Kind::Stop);
    EXPECT_EQ(first.actions[1].kind, Action::Kind::GotoLabel);
    EXPECT_EQ(first.actions[1].label, "end");
    EXPECT_EQ(first.actions[2].frame, 2);

    const FrameDef& second = def->root.frames[1];
    ASSERT_EQ(second.commands.size(), 2u);
    EXPECT_FLOAT_EQ(second.commands[0].place.matrix->ty, 6);
    EXPECT_EQ(second.commands[0].place.colorTransform->rMult, 128);
    EXPECT_EQ(second.commands[1].remove.depth, 3);

    const PlaceCommand& moved = def->root.frames[2].commands[0].place;
    EXPECT_TRUE(moved.move);
    EXPECT_FLOAT_EQ(moved.matrix->tx, 7);
    EXPECT_EQ(def->root.findLabel("END"), 2);  // labels ignore case
    EXPECT_EQ(def->root.findLabel("nowhere"), std::nullopt);
  }
}

TEST(MovieDef, ACutTagStreamKeepsTheFramesBeforeTheCut) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, {0, 0, 0, 255}));
  for (int i = 0; i < 4; ++i) {
    movie.placeObject2({.depth = uint16_t(i + 1), .characterId = 1});
    movie.showFrame();
  }
  auto file = movie.finish(false);
  // Cut inside the last PlaceObject2: three whole frames remain, then a
  // frame with what could be read, and no End.
  file.resize(file.size() - 6);
  auto def = readMovie(file);
  ASSERT_TRUE(def);
  EXPECT_FALSE(def->complete);
  EXPECT_EQ(def->root.frames.size(), 3u);
}

TEST(MovieDef, DefinitionsInsideSpritesAreIgnoredAndTheFirstDefinitionWins) {
  auto movie = flashtest::whiteMovie();
  movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, {1, 1, 1, 255}));
  movie.defineShape(1, flashtest::rectShape(0, 0, 10, 10, {2, 2, 2, 255}));
  MovieWriter inner(10, 10, 12);  // only for its DefineShape tag bytes
  TagStream sprite;
  {
    BitWriter w;
    w.u16(9);
    w.bytes(flashtest::rectShape(0, 0, 5, 5, {3, 3, 3, 255}).encode(1));
    sprite.tag(kTagDefineShape, w.take());
  }
  sprite.showFrame();
  movie.defineSprite(2, sprite);
  auto def = read(movie);
  EXPECT_EQ(def->character(1)->shape->fills[0].color.r, 1);
  EXPECT_EQ(def->character(9), nullptr);
  EXPECT_NE(def->character(2), nullptr);
}

}  // namespace
