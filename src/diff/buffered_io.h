#pragma once
#include "core/file_system.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tq {

// A buffer whose bytes are not cleared when it is made: memory is only touched where data
// goes (each first touch of a 4 KB page is a page fault, dear on some virtual machines), so
// a large buffer that a small file passes through costs what the file does.
class LargeBuffer {
public:
    explicit LargeBuffer(size_t n) : bytes_(new uint8_t[n]), size_(n) {}
    uint8_t* data() { return bytes_.get(); }
    size_t size() const { return size_; }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_;
};

// Reads byte ranges at arbitrary positions of an open file through one large window, so a
// whole-world pass that visits runs in (mostly) file order costs a few big reads instead of
// a seek and a read per block. The file's size is taken once, when the reader is made.
class WindowedReader {
public:
    explicit WindowedReader(File& file, size_t window = size_t(1) << 20);
    uint64_t size() const { return size_; }
    // The file's name as it was opened, for messages about its contents.
    std::string name() const { return file_.name(); }
    // Copies n bytes at pos; "Read beyond end of file" when they do not all lie in the file.
    void read(uint64_t pos, void* out, size_t n);

private:
    File& file_;
    uint64_t size_;
    LargeBuffer buffer_;
    uint64_t windowStart_ = 0;
    size_t windowLength_ = 0;
};

// Appends to an open file from a given position on through one large buffer; position()
// is where the next byte will land.
class AppendWriter {
public:
    AppendWriter(File& file, uint64_t start, size_t buffer = size_t(1) << 20);
    uint64_t position() const { return position_; }
    void append(const void* bytes, size_t n);
    // Writes out what is buffered. Call before anything else touches the file.
    void flush();

private:
    File& file_;
    LargeBuffer buffer_;
    size_t used_ = 0;
    uint64_t position_;
};

} // namespace tq
