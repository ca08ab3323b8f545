#include "diff/buffered_io.h"

#include "core/error.h"

#include <algorithm>
#include <cstring>

namespace tq {

WindowedReader::WindowedReader(File& file, size_t window) : file_(file), size_(file.size()), buffer_(window) {}

void WindowedReader::read(uint64_t pos, void* out, size_t n) {
    if (pos > size_ || n > size_ - pos) throw Error(msg::ReadBeyondEnd, file_.name());
    if (n == 0) return;
    if (pos >= windowStart_ && pos + n <= windowStart_ + windowLength_) {
        std::memcpy(out, buffer_.data() + (pos - windowStart_), n);
        return;
    }
    if (n > buffer_.size()) {
        file_.seek(pos);
        file_.read(out, n);
        return;
    }
    // A position just ahead of the window is the next piece of a sequential pass: fill the
    // whole window. A jump elsewhere reads only a little, so scattered runs do not each
    // cost a full window.
    const bool ahead = pos >= windowStart_ && pos - windowStart_ < 2 * uint64_t(buffer_.size());
    size_t want = ahead ? buffer_.size() : std::min(buffer_.size(), std::max(n, size_t(16) << 10));
    want = size_t(std::min<uint64_t>(want, size_ - pos));
    windowLength_ = 0;
    file_.seek(pos);
    file_.read(buffer_.data(), want);
    windowStart_ = pos;
    windowLength_ = want;
    std::memcpy(out, buffer_.data(), n);
}

AppendWriter::AppendWriter(File& file, uint64_t start, size_t buffer)
    : file_(file), buffer_(buffer), position_(start) {
    file_.seek(start);
}

void AppendWriter::append(const void* bytes, size_t n) {
    if (n == 0) return;  // an empty run may come from an empty buffer, whose data() is null
    const auto* p = static_cast<const uint8_t*>(bytes);
    if (used_ + n > buffer_.size()) {
        flush();
        if (n >= buffer_.size()) {
            file_.write(p, n);
            position_ += n;
            return;
        }
    }
    std::memcpy(buffer_.data() + used_, p, n);
    used_ += n;
    position_ += n;
}

void AppendWriter::flush() {
    if (used_ == 0) return;
    const size_t n = used_;
    used_ = 0;
    file_.write(buffer_.data(), n);
}

} // namespace tq
