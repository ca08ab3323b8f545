#include "command.h"
#include "core/atomic_file.h"
#include "core/error.h"
#include "core/int_parse.h"
#include "mapedit/client_files.h"
#include "mapedit/tile_image.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace tq::cli {
namespace {

// A 5-bit channel widened to 8 bits, rounded: 31 becomes 255.
int widen(int v) { return (2 * v * 255 + 31) / 62; }

int runTileImage(const std::vector<std::string>& argv) {
    Args args(argv, {"client-dir", "out"}, {});
    args.expectPositional(1);
    const std::string folder = args.required("client-dir");
    const std::string out = args.required("out");
    const int32_t id = parseInt(args.positional()[0]);
    if (id < 0 || id > 0xFFFF) throw Error("A tile id is 0..65535, not " + args.positional()[0]);
    for (const char* name : ClientImageFileNames)
        if (findClientFile(folder, name).empty()) throw Error(std::string(name) + " not found in " + folder);

    TileImageLoader loader(folder);
    const TileImage tile = loader.tile(uint16_t(id));
    QImage image(tile.Width, tile.Height, QImage::Format_RGB32);
    for (int y = 0; y < tile.Height; ++y)
        for (int x = 0; x < tile.Width; ++x) {
            const int v = tile.pixel(x, y);
            image.setPixel(x, y, qRgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31)));
        }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) throw Error("Could not encode the picture as PNG");
    writeFileAtomic(out, std::string(png.constData(), size_t(png.size())));
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
