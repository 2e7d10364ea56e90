// Made by resources/make-bitmaps from its drawings: run it again rather than editing here.

#include "resources/playerbitmaps.h"

namespace {

const std::vector<res::PaletteEntry> kPalette = {
    {'k', 0xFF000000}, {'g', 0xFF808080}, {'l', 0xFFC8C8C8}, {'w', 0xFFFFFFFF}, {'y', 0xFFFFD84A}, {'o', 0xFFC89A18},
    {'b', 0xFF1F4FB8}, {'r', 0xFFC82020}, {'e', 0xFF18A030}, {'s', 0xFFFFF060}, {'d', 0xFF404040},
};

}  // namespace

std::vector<res::Picture> playerBitmaps() {
  return {
      // 114: the playlist bar
      res::pictureFromArt(114,
                          {
                              "..........s.s.s.......................eeee...........................kkkkkk............."
                              "........................",
                              "...........sss........................eeee..............k............kbbbbk............."
                              "...........k............",
                              "..........ssrsss............r.........eeee.............kbk...........kbbbbk.......rrr..."
                              "...rrr.....kkk..........",
                              ".kkkkkk....sss.............yrr........eeee............kbbbk..........kbbbbk.......rrrr.."
                              "..rrrr.....keek.........",
                              ".kyyyyk...s.s.s...........ykyr........eeee...........kbbbbbk.........kbbbbk.......rrrrr."
                              ".rrrrr.....keeekk.......",
                              ".kkkkkkkkk..s............ykyy.k.......eeee..........kbbbbbbbk........kbbbbk........"
                              "rrrrrrrrrr......keeeeekk.....",
                              ".kwwwwwwwwwwwwk.........ykyy.k.....eeeeeeeeee......kbbbbbbbbbk.......kbbbbk........."
                              "rrrrrrrr.......keeeeeeek....",
                              ".kyyyyyyyyyyyyk........ykyy.k.......eeeeeeee......kbbbbbbbbbbbk..kkkkkbbbbkkkkkk....."
                              "rrrrrr........keeeeeeeekk..",
                              ".kyyyyyyyyyyyyk.......ykyy.k.........eeeeee......kkkkkbbbbkkkkkk..kbbbbbbbbbbbk......"
                              "rrrrrr........keeeeeeeeeek.",
                              ".kyyyyyyyyyyyyk......ykyy.k......kkkk.eeee.kkkk......kbbbbk........kbbbbbbbbbk......"
                              "rrrrrrrr.......keeeeeeeekk..",
                              ".kyyyyyyyyyyyyk.....ykyy.k.......kwwwwweewwwwwk......kbbbbk.........kbbbbbbbk......"
                              "rrrrrrrrrr......keeeeeekk....",
                              ".kyyyyyyyyyyyyk....ykyy.k........kwwwwwwwwwwwwk......kbbbbk..........kbbbbbk......rrrrr."
                              ".rrrrr.....keeeekk......",
                              ".kooooooooooook....kyy.k.........kwwwwwwwwwwwwk......kbbbbk...........kbbbk.......rrrr.."
                              "..rrrr.....keekk........",
                              ".kkkkkkkkkkkkkk...kkk.k..........kwwwwwwwwwwwwk......kbbbbk............kbk........rrr..."
                              "...rrr.....kkk..........",
                              ".................kkkkkkkkkkkkkk..kkkkkkkkkkkkkk......kbbbbk.............k..............."
                              "...........k............",
                              ".....................................................kkkkkk............................."
                              "........................",
                          },
                          kPalette),
      // 119: folders and movies
      res::pictureFromArt(119,
                          {
                              "................................................",
                              "................................................",
                              ".................................dddddddddddddd.",
                              ".kkkkkk..........kkkkkk..........dwwdwwdwwdwwdd.",
                              ".kyyyyk..........kyyyyk..........dddddddddddddd.",
                              ".kkkkkkkkkkkk....kkkkkkkkkkkkkk..dwwwrrwwwwwwwd.",
                              ".kooooooooook....kwwwwwwwwwwwwk..dwwwrrrrwwwwwd.",
                              ".kooooooooook....kyyyyyyyyyyyyk..dwwwrrrrrrwwwd.",
                              ".kokkkkkkkkkkkkk.kyyyyyyyyyyyyk..dwwwrrrrrrwwwd.",
                              ".kykyyyyyyyyyyyk.kyyyyyyyyyyyyk..dwwwrrrrwwwwwd.",
                              ".kkyyyyyyyyyyyk..kyyyyyyyyyyyyk..dwwwrrwwwwwwwd.",
                              ".kkyyyyyyyyyyyk..kyyyyyyyyyyyyk..dddddddddddddd.",
                              ".kyyyyyyyyyyyk...kooooooooooook..dwwdwwdwwdwwdd.",
                              ".kkkkkkkkkkkkk...kkkkkkkkkkkkkk..dddddddddddddd.",
                              "................................................",
                              "................................................",
                          },
                          kPalette),
      // 121: check boxes
      res::pictureFromArt(121,
                          {
                              "................................................................",
                              "................................................................",
                              "..kkkkkkkkkkkk....kkkkkkkkkkkk....gggggggggggg....gggggggggggg..",
                              "..kwwwwwwwwwwk....kwwwwwwwwwwk....gllllllllllg....gllllllllllg..",
                              "..kwwwwwwwwkwk....kwwwwwwwwwwk....gllllllllglg....gllllllllllg..",
                              "..kwwwwwwwkkwk....kwwwwwwwwwwk....glllllllgglg....gllllllllllg..",
                              "..kwwwwwwkkwwk....kwwwwwwwwwwk....gllllllggllg....gllllllllllg..",
                              "..kwkwwwkkwwwk....kwwwwwwwwwwk....glglllgglllg....gllllllllllg..",
                              "..kwkkwkkwwwwk....kwwwwwwwwwwk....glgglggllllg....gllllllllllg..",
                              "..kwwkkkwwwwwk....kwwwwwwwwwwk....gllggglllllg....gllllllllllg..",
                              "..kwwwkwwwwwwk....kwwwwwwwwwwk....glllgllllllg....gllllllllllg..",
                              "..kwwwwwwwwwwk....kwwwwwwwwwwk....gllllllllllg....gllllllllllg..",
                              "..kwwwwwwwwwwk....kwwwwwwwwwwk....gllllllllllg....gllllllllllg..",
                              "..kkkkkkkkkkkk....kkkkkkkkkkkk....gggggggggggg....gggggggggggg..",
                              "................................................................",
                              "................................................................",
                          },
                          kPalette),
  };
}
