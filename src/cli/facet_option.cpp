#include "facet_option.h"

#include "core/facets.h"
#include "core/int_parse.h"

namespace tq::cli {

std::optional<int> facetOption(const Args& args) {
    const auto text = args.option(FacetOption);
    if (!text) return std::nullopt;
    int32_t facet = 0;
    if (!tryParseInt(*text, facet)) throw UsageError("--facet: '" + *text + "' is not a facet number");
    if (!isFacet(facet)) throw UsageError("--facet: " + noSuchFacetMessage(facet));
    return facet;
}

} // namespace tq::cli
