#include "core/spaced_hex.h"
#include "diff/diff.h"

namespace tq {

namespace {
// The extension as the apply dialog judges it: from the last "." of the file name part.
std::string lowerExtension(const std::string& fileName) {
    const size_t slash = fileName.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return {};
    std::string ext = fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return ext;
}
} // namespace

bool IsDiffPackageName(const std::string& fileName) { return lowerExtension(fileName) == DiffPackageExtension; }

std::string DiffPackageName(const std::string& fileName) {
    return IsDiffPackageName(fileName) ? fileName : fileName + DiffPackageExtension;
}

std::string CrcValueText(uint32_t origIndexCrc) {
    return "The original statics file has a CRC value of " + IntToSpacedHex(int32_t(origIndexCrc), 4) + ".";
}

DiffCrcError::DiffCrcError(uint32_t actualCrc, uint32_t expectedCrc)
    : Error("The CRC value of your orginal statics file (" + IntToSpacedHex(int32_t(actualCrc), 4) +
            ") does not match the one used to generate this TQD file (" +
            IntToSpacedHex(int32_t(expectedCrc), 4) +
            "). To apply this TQD you need to get the correct original files!"),
      actual(actualCrc),
      expected(expectedCrc) {}

} // namespace tq
