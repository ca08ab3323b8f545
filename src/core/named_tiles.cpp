#include "core/named_tiles.h"

#include "core/ascii_case.h"

#include "core/error.h"
#include "core/random.h"

namespace tq {

const std::array<TNamedTile, NamedTileCount> NamedTiles = {{
    {"Random cave", 0x0245, 5},
    {"Random cobblestones", 0x03E9, 4},
    {"Random desert", 0x0016, 4},
    {"Random dirt (big stones)", 0x0071, 4},
    {"Random dirt (small stones)", 0x0075, 4},
    {"Random forest", 0x00C4, 4},
    {"Random grass", 0x0003, 4},
    {"Random jungle", 0x00AC, 4},
    {"Random lava", 0x01F4, 4},
    {"Random mountain", 0x022C, 4},
    {"Random snow", 0x011A, 4},
    {"Random stars", 0x01FA, 6},
    {"Random water", 0x00A8, 4},
    {"Random brick (Brown E/W)", 0x048F, 4},
    {"Random brick (Brown N/S)", 0x0493, 4},
    {"Random brick (Light Sand E/W)", 0x0501, 2},
    {"Random brick (Light Sand N/S)", 0x0503, 2},
    {"Random brick (Dark Sand E/W)", 0x050D, 2},
    {"Random brick (Dark Sand N/S)", 0x050F, 2},
    {"Random brick (Red E/W)", 0x047D, 2},
    {"Random brick (Red N/S)", 0x0480, 4},
    {"Random dark wooden floor (E/W)", 0x0406, 4},
    {"Random dark wooden floor (N/S)", 0x040A, 4},
    {"Random flagstone (Sand)", 0x0201, 4},
    {"Random flagstone (Stone)", 0x04EB, 4},
    {"Random light wooden floor (E/W)", 0x040E, 4},
    {"Random light wooden floor (N/S)", 0x0412, 4},
    {"Random marble (Green)", 0x04E7, 2},
    {"Random marble (Silver)", 0x0486, 4},
    {"Random marble (White Pattern)", 0x04E9, 2},
    {"Random marble (White)", 0x04EF, 4},
    {"Random sandstone (Light)", 0x0446, 8},
    {"Random sandstone (Dark)", 0x044E, 8},
    {"Random stone (Light)", 0x0436, 4},
    {"Random stone (Medium)", 0x043A, 4},
    {"Random stone (Dark)", 0x043E, 4},
    {"Random stone (Light Sand)", 0x0442, 2},
    {"Random stone (Dark Sand)", 0x0444, 2},
    {"Black Weird", 0x3FCC, 4},
    {"White Weird", 0x3FEC, 4},
    {"Water Weird", 0x3FF0, 4},
    {"Orange Marble Weird", 0x3FF7, 4},
}};

int FindNamedTile(std::string_view name) {
    const std::string wanted = asciiUpper(name);
    for (int i = 0; i < NamedTileCount; ++i)
        if (asciiUpper(NamedTiles[size_t(i)].Name) == wanted) return i;
    return -1;
}

uint16_t RandomTile(int index) {
    const TNamedTile& group = NamedTiles[size_t(index)];
    return uint16_t(group.FirstId + randomBelow(uint32_t(group.Count)));
}

uint16_t RandomTileByName(std::string_view name) {
    const int index = FindNamedTile(name);
    if (index < 0) throw Error("Invalid tile name: " + std::string(name));
    return RandomTile(index);
}

} // namespace tq
