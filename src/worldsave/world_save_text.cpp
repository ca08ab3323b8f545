#include "worldsave/world_save_text.h"

#include "core/error.h"
#include "core/int_parse.h"

#include <cstring>


namespace tq::wstext {

namespace {
constexpr size_t BufferLimit = size_t(1) << 20;
constexpr size_t WritebackEvery = size_t(4) << 20;
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

bool tryParseValue(std::string_view afterTag, int32_t& value) {
    return parsePlainDecimal(afterTag, value) || tryParseInt(trimBlanks(afterTag), value);
}

std::string_view FileBytes::read(const std::string& path) {
    const std::unique_ptr<File> file = openFile(path, OpenMode::Read);
    const uint64_t size = file->size();
    if (size > buffer_.size()) buffer_ = LargeBuffer(size_t(size));
    if (size > 0) file->read(buffer_.get(), size_t(size));
    file->close();
    return std::string_view(buffer_.get(), size_t(size));
}

ChunkedLineReader::ChunkedLineReader(File& file, size_t chunk)
    : file_(file), capacity_(chunk), buffer_(chunk) {}

void ChunkedLineReader::rewind() {
    file_.seek(0);
    offset_ = 0;
    pos_ = filled_ = 0;
    atEnd_ = false;
    forgetScan();
}

bool ChunkedLineReader::refill() {
    if (atEnd_) return false;
    if (pos_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + pos_, filled_ - pos_);
        offset_ += pos_;
        filled_ -= pos_;
        pos_ = 0;
    }
    if (filled_ == capacity_) {
        // A line longer than the buffer: make room for it.
        LargeBuffer wider(capacity_ * 2);
        std::memcpy(wider.get(), buffer_.get(), filled_);
        buffer_ = std::move(wider);
        capacity_ *= 2;
    }
    const size_t before = filled_;
    while (filled_ < capacity_) {
        const size_t n = file_.readSome(buffer_.get() + filled_, capacity_ - filled_);
        if (n == 0) {
            atEnd_ = true;
            break;
        }
        filled_ += n;
    }
    return filled_ > before;
}

bool ChunkedLineReader::nextSlow(Line& line) {
    // The buffer moves: what next() had scanned no longer stands where it did.
    forgetScan();
    for (;;) {
        const size_t done = filled_ - pos_;  // bytes of this line already searched
        if (!refill()) break;
        const size_t at = findLineFeed(buffer_.get(), pos_ + done, filled_);
        if (at < filled_) {
            setLine(line, at);
            forgetScan();
            return true;
        }
    }
    forgetScan();
    if (pos_ >= filled_) return false;
    // The last line, without an ending.
    line.crlf = false;
    line.text = std::string_view(buffer_.get() + pos_, filled_ - pos_);
    line.begin = size_t(offset_ + pos_);
    line.end = size_t(offset_ + filled_);
    pos_ = filled_;
    return true;
}

// Room for a full buffer and the line that made it full, taken once.
TextWriter::TextWriter(File& file, std::string_view source) : file_(file), source_(source) {
    buffer_.reserve(2 * BufferLimit);
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
    // Every few MB the disk is set to work on what has been written, while the rest is made.
    if ((unsynced_ += BufferLimit) >= WritebackEvery) {
        file_.startWriteback();
        unsynced_ = 0;
    }
}

void TextWriter::flush() {
    flushRun();
    flushBuffer();
}

} // namespace tq::wstext
