#include "worldsave/world_save_text.h"

#include "core/error.h"
#include "core/int_parse.h"


namespace tq::wstext {

namespace {
constexpr size_t BufferLimit = size_t(1) << 20;
}

std::string_view trimBlanks(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    return text.substr(b, e - b);
}

std::string upperCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperAscii(c);
    return out;
}

int32_t parseValueSlow(std::string_view afterTag) {
    const std::string_view value = trimBlanks(afterTag);
    int32_t result = 0;
    if (!tryParseInt(value, result)) throw ConvertError(notAnIntegerMessage(upperCopy(value)));
    return result;
}

void TextWriter::keepLineSlow(const Line& line) {
    if (line.crlf) {
        flushRun();
        runBegin_ = line.begin;
        runEnd_ = line.end;
        return;
    }
    writeLine(line.text);
}

void TextWriter::writeLine(std::string_view text) {
    flushRun();
    buffer_.append(text);
    buffer_.append("\r\n", 2);
    if (buffer_.size() >= BufferLimit) flushBuffer();
}

void TextWriter::writeRaw(std::string_view text) {
    flushRun();
    buffer_.append(text);
    if (buffer_.size() >= BufferLimit) flushBuffer();
}

void TextWriter::flushRun() {
    if (runEnd_ == runBegin_) return;
    const std::string_view run = source_.substr(runBegin_, runEnd_ - runBegin_);
    runBegin_ = runEnd_ = 0;
    if (run.size() >= BufferLimit) {
        flushBuffer();
        file_.write(run.data(), run.size());
    } else {
        buffer_.append(run);
        if (buffer_.size() >= BufferLimit) flushBuffer();
    }
}

void TextWriter::flushBuffer() {
    if (buffer_.empty()) return;
    file_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void TextWriter::flush() {
    flushRun();
    flushBuffer();
}

} // namespace tq::wstext
