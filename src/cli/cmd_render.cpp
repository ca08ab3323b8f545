#include "command.h"
#include "core/atomic_file.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/int_parse.h"
#include "core/map_file.h"
#include "core/static_index.h"
#include "diff/diff_package.h"
#include "diff/package_blocks.h"
#include "facet_option.h"
#include "mapedit/overview.h"
#include "png_writer.h"

#include <cstdio>

namespace tq::cli {
namespace {

// Takes "--name V1 .. Vn" out of argv (the option parser knows one value per option).
std::optional<std::vector<std::string>> takeListOption(std::vector<std::string>& argv, const std::string& name,
                                                       size_t count) {
    std::optional<std::vector<std::string>> values;
    for (size_t i = 0; i < argv.size(); ++i) {
        if (argv[i] != "--" + name) continue;
        if (values) throw UsageError("option --" + name + " given twice");
        if (i + count >= argv.size())
            throw UsageError("option --" + name + " needs " + std::to_string(count) + " values");
        values = std::vector<std::string>(argv.begin() + ptrdiff_t(i + 1), argv.begin() + ptrdiff_t(i + 1 + count));
        argv.erase(argv.begin() + ptrdiff_t(i), argv.begin() + ptrdiff_t(i + 1 + count));
        --i;
    }
    return values;
}

std::string pointText(int x, int y) { return "(" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

void writePicture(const std::string& out, const OverviewPicture& picture) {
    AtomicFile file(out);
    File& f = file.file();
    PngStream png(picture.width, picture.height, [&f](const void* data, size_t size) { f.write(data, size); });
    for (int y = 0; y < picture.height; ++y) png.writeRow(picture.rgb.data() + size_t(y) * size_t(picture.width) * 3);
    file.commit();
}

int runRender(const std::vector<std::string>& argvIn) {
    std::vector<std::string> argv = argvIn;
    const auto areaValues = takeListOption(argv, "area", 4);
    const auto diffMaps = takeListOption(argv, "diff", 2);
    Args args(argv, {"map", "staidx", "statics", "radarcol", "out", "scale", "package", FacetOption}, {"shade"});
    args.expectPositional(0);
    OverviewRequest request;
    if (diffMaps && args.option("map")) throw UsageError("--diff names both maps: leave out --map");
    const std::optional<std::string> package = args.option("package");
    if (diffMaps && package) throw UsageError("--diff and --package are two ways to say what changed: give one");
    request.map = diffMaps ? (*diffMaps)[1] : args.required("map");
    request.radarcol = args.required("radarcol");
    const std::string out = args.required("out");
    request.staidx = args.option("staidx").value_or("");
    request.statics = args.option("statics").value_or("");
    if (request.staidx.empty() != request.statics.empty()) throw UsageError("--staidx and --statics go together");
    request.facet = facetOption(args);
    if (const auto scale = args.option("scale")) request.options.scale = parseInt(*scale);
    requireOverviewScale(request.options.scale);
    request.options.shade = args.flag("shade");
    if (areaValues) {
        const auto& v = *areaValues;
        request.area = CellRect{parseInt(v[0]), parseInt(v[1]), parseInt(v[2]), parseInt(v[3])};
    }
    // Nothing is read before the whole command line is known to be good.
    checkReplaceable(out);

    ChangesResult changes;
    if (diffMaps) {
        changes = renderMapChanges((*diffMaps)[0], request, terminalProgress());
    } else if (package) {
        WorldGeometry packageWorld;
        // With the statics drawn, a block the package empties counts when it has statics now.
        std::unique_ptr<StaticIndexBuffer> index;
        if (!request.staidx.empty()) {
            index = newStaticIndex();
            LoadStaticIndex(request.staidx, *index, {}, request.facet);
        }
        const std::vector<bool> changed = PackageChangedBlocks(*package, packageWorld, index.get());
        const WorldGeometry mapWorld = MapFileWorld(request.map, request.facet);
        if (!mapWorld.sameSize(packageWorld))
            throw Error(PackageWorldMismatchMessage(NewDiffHeader(packageWorld), mapWorld), *package);
        changes.overview = renderOverviewFiles(request, terminalProgress());
        changes.differingBlocks = markDifferingBlocks(changes.overview.picture, packageWorld, changed);
    } else {
        changes.overview = renderOverviewFiles(request, terminalProgress());
    }
    const OverviewResult& result = changes.overview;
    for (const std::string& note : result.notes) printLine(note);
    for (const std::string& warning : result.warnings) std::fprintf(stderr, "warning: %s\n", warning.c_str());
    const uint64_t marked = changes.differingBlocks;
    writePicture(out, result.picture);
    const OverviewPicture& p = result.picture;
    printLine("Overview of " + result.world.describe() + ", cells " + pointText(p.area.x0, p.area.y0) + " to " +
              pointText(p.area.x1, p.area.y1) + " at scale " + std::to_string(p.scale) + ": " +
              std::to_string(p.width) + " x " + std::to_string(p.height) + " picture written to " + out);
    if (diffMaps)
        printLine(groupedNumber(marked) + (marked == 1 ? " block differs" : " blocks differ") +
                  " between the two maps in the area, marked red");
    if (package)
        printLine(groupedNumber(marked) + (marked == 1 ? " block" : " blocks") +
                  " of the area changed by the package, marked red");
    return 0;
}

Registration reg{{"render",
                  "render --map P [--staidx P --statics P] --radarcol P --out FILE.png [--scale N] "
                  "[--area X1 Y1 X2 Y2] [--shade] [--facet N]\n"
                  "  render --diff ORIGINAL_MAP MODIFIED_MAP --radarcol P --out FILE.png [same options]\n"
                  "  render --package P.tq2 --map P --radarcol P --out FILE.png [same options]",
                  "write an overview picture of a map (one pixel per N x N cells, radar colours, the top static "
                  "of each cell); with --diff the blocks that differ between two maps, with --package the "
                  "blocks a diff package changes (map or statics), are marked red",
                  runRender}};

} // namespace
} // namespace tq::cli
