#include "command.h"
#include "core/atomic_file.h"
#include "core/error.h"
#include "core/int_parse.h"
#include "core/radar_colours.h"
#include "mapedit/client_files.h"
#include "mapedit/tile_image.h"
#include "png_writer.h"

namespace tq::cli {
namespace {

int runTileImage(const std::vector<std::string>& argv) {
    Args args(argv, {"client-dir", "out"}, {});
    args.expectPositional(1);
    const std::string folder = args.required("client-dir");
    const std::string out = args.required("out");
    const int32_t id = parseInt(args.positional()[0]);
    if (id < 0 || id > 0xFFFF) throw Error("A tile id is 0..65535, not " + args.positional()[0]);
    if (const std::string missing = missingClientFile(folder); !missing.empty())
        throw Error(missing + " not found in " + folder);

    TileImageLoader loader(folder);
    const TileImage tile = loader.tile(uint16_t(id));
    std::vector<uint8_t> rgb;
    rgb.reserve(tile.Pixels.size() * 3);
    for (const uint16_t v : tile.Pixels) {
        const Rgb8 c = rgbOf555(v);
        rgb.insert(rgb.end(), {c.r, c.g, c.b});
    }
    writeFileAtomic(out, encodePng(tile.Width, tile.Height, rgb));
    printLine("Tile " + std::to_string(id) + ": " + std::to_string(tile.Width) + " x " + std::to_string(tile.Height) +
              " picture written to " + out);
    return 0;
}

Registration reg{{"tile-image", "tile-image --client-dir DIR ID --out FILE.png",
                  "write the picture the map editor draws for land tile ID (texture, else land art, else black) "
                  "as a PNG",
                  runTileImage}};

} // namespace
} // namespace tq::cli
