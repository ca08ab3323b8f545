#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tq {

class File;

// A picture of a land tile: 16-bit pixels exactly as the client stores them (bits 10-14
// red, 5-9 green, 0-4 blue, bit 15 ignored; 0 is black), rows top to bottom.
struct TileImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint16_t> Pixels;  // Width * Height values

    TileImage() = default;
    TileImage(int width, int height) : Width(width), Height(height), Pixels(size_t(width) * size_t(height), 0) {}
    uint16_t pixel(int x, int y) const { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
    uint16_t& pixel(int x, int y) { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
    friend bool operator==(const TileImage&, const TileImage&) = default;
};

// Only tile ids below this have textures or land art.
inline constexpr int TileImageIdLimit = 4096;
inline constexpr int SmallTextureBytes = 8192;   // 64 x 64
inline constexpr int LargeTextureBytes = 32768;  // 128 x 128
inline constexpr int LandArtBytes = 2048;        // the only usable art entry length
inline constexpr int LandArtSize = 45;           // the unfolded diamond is 45 x 45

// The caller's judgement of its paths (the map editor's CheckMapEditPaths, which may
// save its settings as a side effect). An empty check counts as true.
using PathCheck = std::function<bool()>;

// Reads pictures from one client folder. The two data files stay open and the two
// index files are read once, so a window can draw many tiles (and keep a cache on top)
// without reopening anything. No path check here: the caller makes it.
//
// Missing pictures are quiet (nullopt): an id of 4096 or more, an entry whose length is
// not a picture's, a negative Offset (-1 marks a missing image), ids 7 and 8 for art.
// File trouble is an error: a file that cannot be opened, an entry past the end of its
// index, or a picture that would reach past the end of its data file ("Read beyond end
// of file"); nothing is ever read outside a file.
class TileImageLoader {
public:
    explicit TileImageLoader(std::string clientFolder);
    ~TileImageLoader();
    TileImageLoader(const TileImageLoader&) = delete;
    TileImageLoader& operator=(const TileImageLoader&) = delete;

    const std::string& clientFolder() const { return folder_; }

    // 64 x 64 or 128 x 128 from texidx.mul / texmaps.mul.
    std::optional<TileImage> texture(uint16_t id);
    // 45 x 45 from artidx.mul / art.mul, or from artLegacyMUL.uop when the folder has it
    // and lacks one of those (a missing entry, or one not of a land picture's length, is
    // a missing picture; a damaged container or an entry of unknown compression an error).
    std::optional<TileImage> landArt(uint16_t id);
    // What the editor draws: the texture, else the land art, else one black pixel.
    TileImage tile(uint16_t id);

private:
    struct Source;
    struct ArtContainer;
    Source& textures();
    Source& art();

    std::string folder_;
    std::unique_ptr<Source> textures_;
    std::unique_ptr<Source> art_;
    std::optional<bool> artFromContainer_;  // decided on the first land art read
    std::unique_ptr<ArtContainer> artContainer_;
};

// One-shot loads in the editor's manner: the check is made first (art: after refusing
// ids 7 and 8) and, when false, the load fails quietly without opening any file.
std::optional<TileImage> LoadTextureImage(const std::string& clientFolder, uint16_t id,
                                          const PathCheck& pathCheck = {});
std::optional<TileImage> LoadLandArtImage(const std::string& clientFolder, uint16_t id,
                                          const PathCheck& pathCheck = {});
TileImage LoadTileImage(const std::string& clientFolder, uint16_t id, const PathCheck& pathCheck = {});

// The land-art diamond (1012 stored pixels, rows of 2, 4, ..., 44, 44, ..., 2) unfolded
// onto a 45 x 45 square; exposed for tests and tools.
TileImage unfoldLandArt(const uint16_t* diamond);

} // namespace tq
