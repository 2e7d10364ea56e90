#include "tools/swfwriter/samples.h"

#include <cmath>

#include "tools/swfwriter/swfwriter.h"

namespace swfwrite {

namespace {

constexpr int kTw = 20;  // twips per pixel

Matrix gradientBox(int x, int y, int width, int height, float degrees = 0) {
    // Maps the gradient square onto the box, turned about its centre.
    Matrix m = Matrix::translation(float(x + width / 2), float(y + height / 2)) * Matrix::rotation(degrees) *
               Matrix::scaling(float(width) / 32768.0f, float(height) / 32768.0f);
    return m;
}

}  // namespace

std::vector<uint8_t> demoMovie(bool compressed) {
    constexpr int kW = 240, kH = 180, kFrames = 24;
    MovieWriter movie(kW, kH, 12);
    movie.setBackground({16, 24, 64, 255});

    ShapeBuilder sky;
    int skyFill = sky.addLinearGradient(gradientBox(0, 0, kW * kTw, 150 * kTw, 90),
                                        {{0, {40, 80, 200, 255}}, {255, {250, 180, 120, 255}}});
    sky.rectangle(0, 0, kW * kTw, 150 * kTw, skyFill);
    movie.defineShape(1, sky, 2);

    ShapeBuilder ground;
    int grass = ground.addSolidFill({40, 140, 60, 255});
    int edge = ground.addLineStyle(2 * kTw, {20, 80, 30, 255});
    ground.setFill1(grass);
    ground.setLine(edge);
    ground.moveTo(0, 120 * kTw);
    ground.curveTo(60 * kTw, 100 * kTw, 120 * kTw, 120 * kTw);
    ground.curveTo(180 * kTw, 140 * kTw, 240 * kTw, 115 * kTw);
    ground.lineTo(240 * kTw, 180 * kTw);
    ground.lineTo(0, 180 * kTw);
    ground.lineTo(0, 120 * kTw);
    movie.defineShape(2, ground, 1);

    ShapeBuilder sun;
    int glow = sun.addRadialGradient(gradientBox(-30 * kTw, -30 * kTw, 60 * kTw, 60 * kTw),
                                     {{0, {255, 255, 200, 255}}, {160, {255, 200, 0, 255}}, {255, {255, 120, 0, 0}}});
    sun.ellipse(0, 0, 30 * kTw, 30 * kTw, glow);
    movie.defineShape(3, sun, 3);

    ShapeBuilder blade;
    int red = blade.addSolidFill({220, 40, 40, 255});
    int white = blade.addLineStyle(1 * kTw, {255, 255, 255, 255});
    blade.rectangle(-4 * kTw, -20 * kTw, 8 * kTw, 20 * kTw, red, white);
    blade.newStyles();
    int yellow = blade.addSolidFill({250, 220, 40, 255});
    blade.ellipse(0, 0, 4 * kTw, 4 * kTw, yellow);
    movie.defineShape(4, blade, 3);

    // A windmill: four blades turning in its own 8-frame timeline.
    TagStream mill;
    for (int f = 0; f < 8; ++f) {
        for (int b = 0; b < 4; ++b) {
            Placement p;
            p.depth = uint16_t(b + 1);
            if (f == 0) p.characterId = 4;
            else p.move = true;
            p.matrix = Matrix::rotation(float(b * 90 + f * 11.25f));
            mill.placeObject2(p);
        }
        mill.showFrame();
    }
    movie.defineSprite(5, mill);

    ShapeBuilder ball;
    int shine = ball.addRadialGradient(gradientBox(-14 * kTw, -14 * kTw, 20 * kTw, 20 * kTw),
                                       {{0, {255, 255, 255, 255}}, {255, {200, 0, 160, 255}}});
    int rim = ball.addLineStyle(kTw, {80, 0, 60, 255});
    ball.ellipse(0, 0, 10 * kTw, 10 * kTw, shine, rim);
    movie.defineShape(6, ball, 3);

    movie.placeObject2({.depth = 1, .characterId = 1});
    movie.placeObject2({.depth = 2, .characterId = 3, .matrix = Matrix::translation(190 * kTw, 40 * kTw)});
    movie.placeObject2({.depth = 3, .characterId = 2});
    movie.placeObject2({.depth = 4, .characterId = 5, .matrix = Matrix::translation(60 * kTw, 95 * kTw),
                        .name = std::string("mill")});
    movie.frameLabel("start");
    for (int f = 0; f < kFrames; ++f) {
        float t = float(f) / kFrames;
        float x = 20 + 200 * t;
        float y = 150 - 60 * std::fabs(std::sin(t * 2 * 3.14159265f * 2));
        Placement p;
        p.depth = 5;
        if (f == 0) p.characterId = 6;
        else p.move = true;
        p.matrix = Matrix::translation(x * kTw, y * kTw);
        movie.placeObject2(p);
        if (f == kFrames / 2) movie.frameLabel("middle");
        movie.showFrame();
    }
    return movie.finish(compressed);
}

std::vector<uint8_t> countingMovie(int frames, float rate, int width, int height, bool compressed) {
    MovieWriter movie(width, height, rate);
    movie.setBackground({255, 255, 255, 255});
    ShapeBuilder bar;
    int blue = bar.addSolidFill({0, 0, 255, 255});
    bar.rectangle(0, 0, width * kTw, height * kTw, blue);
    movie.defineShape(1, bar, 1);
    for (int f = 0; f < frames; ++f) {
        float share = float(f + 1) / float(frames);
        Placement p;
        p.depth = 1;
        if (f == 0) p.characterId = 1;
        else p.move = true;
        p.matrix = Matrix::scaling(share, 1);
        movie.placeObject2(p);
        movie.showFrame();
    }
    return movie.finish(compressed);
}

std::vector<uint8_t> busyMovie(int shapes, int frames, bool compressed) {
    constexpr int kW = 240, kH = 320;
    MovieWriter movie(kW, kH, 30);
    movie.setBackground({250, 250, 245, 255});
    uint32_t seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % uint32_t(range));
    };
    constexpr int kKinds = 16;
    for (int k = 0; k < kKinds; ++k) {
        ShapeBuilder s;
        int size = (12 + next(28)) * kTw;
        Rgba a{uint8_t(next(256)), uint8_t(next(256)), uint8_t(next(256)), 255};
        Rgba b{uint8_t(next(256)), uint8_t(next(256)), uint8_t(next(256)), uint8_t(128 + next(128))};
        int fill = k % 2 ? s.addRadialGradient(gradientBox(-size, -size, 2 * size, 2 * size), {{0, a}, {255, b}})
                         : s.addLinearGradient(gradientBox(-size, -size, 2 * size, 2 * size, float(k * 20)),
                                               {{0, a}, {128, b}, {255, a}});
        int line = s.addLineStyle(uint16_t(kTw + next(3 * kTw)), {0, 0, 0, 255});
        if (k % 3 == 0) {
            s.rectangle(-size, -size / 2, 2 * size, size, fill, line);
        } else {
            // A petal: curved edges only.
            s.setFill1(fill);
            s.setLine(line);
            s.moveTo(-size, 0);
            s.curveTo(-size, -size, 0, -size);
            s.curveTo(size / 2, 0, size, 0);
            s.curveTo(size, size, 0, size);
            s.curveTo(-size / 2, 0, -size, 0);
        }
        movie.defineShape(uint16_t(k + 1), s, 3);
    }
    std::vector<std::pair<int, int>> places;
    for (int i = 0; i < shapes; ++i) places.push_back({next(kW), next(kH)});
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < shapes; ++i) {
            Placement p;
            p.depth = uint16_t(i + 1);
            if (f == 0) p.characterId = uint16_t(1 + i % kKinds);
            else p.move = true;
            p.matrix = Matrix::translation(float((places[size_t(i)].first + f) * kTw),
                                           float(places[size_t(i)].second * kTw)) *
                       Matrix::rotation(float((i * 37 + f * 5) % 360));
            movie.placeObject2(p);
        }
        movie.showFrame();
    }
    return movie.finish(compressed);
}

}  // namespace swfwrite
