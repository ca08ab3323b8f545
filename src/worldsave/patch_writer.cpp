#include "worldsave/patch_writer.h"

#include "core/atomic_file.h"
#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/patch_text.h"

#include <charconv>
#include <climits>
#include <cstring>

namespace tq {

namespace detail {

namespace {
bool isEofLine(std::string_view line) {
    const std::string_view t = wstext::trimBlanks(line);
    return t.size() == 3 && wstext::startsWithNoCase(t, "EOF");
}
} // namespace

bool startsEofLine(std::string_view s) {
    // Only a line starting with E or a blank can be the "EOF" line.
    const char first = wstext::upperAscii(s[0]);
    return (first == 'E' || static_cast<unsigned char>(first) <= 32) && isEofLine(s);
}

void noteNumbers(std::string_view s, PatchNumbers& numbers) {
    if (wstext::startsWithNoCase(s, "SECTION WORLDITEM ")) {
        const int32_t n = wstext::parseValue(s.substr(17));
        if (n > numbers.section) numbers.section = n;
    } else if (wstext::startsWithNoCase(s, "SERIAL ")) {
        const int32_t v = wstext::parseValue(s.substr(7));
        if (v > numbers.serial) numbers.serial = v;
    }
}

AppendPlan planAppend(bool exists, std::string_view text) {
    AppendPlan plan;
    if (!exists) return plan;
    plan.numbers.section = -1;
    wstext::LineReader reader(text);
    wstext::Line line;
    bool eofSeen = false;
    while (reader.next(line)) {
        const std::string_view s = line.text;
        if (s.empty()) {
            if (!eofSeen && !line.crlf) plan.keptIsCrlf = false;
            continue;
        }
        if (!eofSeen) {
            if (startsEofLine(s)) {
                eofSeen = true;
                plan.keptBytes = line.begin;
            } else if (!line.crlf) {
                plan.keptIsCrlf = false;
            }
        }
        if (wstext::upperAscii(s[0]) == 'S') noteNumbers(s, plan.numbers);
    }
    if (!eofSeen) plan.keptBytes = text.size();
    return plan;
}

void checkNumbersLeft(const PatchNumbers& numbers, uint64_t count) {
    if (int64_t(numbers.section) + int64_t(count) > INT32_MAX ||
        int64_t(numbers.serial) + int64_t(count) > INT32_MAX)
        throw Error("Cannot number " + std::to_string(count) + " new items after SECTION WORLDITEM " +
                    std::to_string(numbers.section) + " and SERIAL " + std::to_string(numbers.serial) +
                    ": the numbers would pass 2147483647");
}

void writeLinesBeforeEof(std::string_view text, const AppendPlan& plan, File& file, wstext::TextWriter& out) {
    if (plan.keptIsCrlf) {
        // The common case: the old text goes out as it is, in one write.
        out.flush();
        file.write(text.data(), plan.keptBytes);
        return;
    }
    wstext::LineReader reader(text.substr(0, plan.keptBytes));
    wstext::Line line;
    while (reader.next(line)) out.keepLine(line);
}

size_t formatItemSection(char (&text)[ItemSectionMax], PatchNumbers& numbers, const TStaticRec& rec, int bx, int by) {
    ++numbers.section;
    ++numbers.serial;
    // Formatted in one buffer: a freeze may write hundreds of thousands of these.
    char* p = text;
    auto put = [&p](std::string_view s) {
        std::memcpy(p, s.data(), s.size());
        p += s.size();
    };
    auto number = [&p](int64_t v) { p = std::to_chars(p, p + 24, v).ptr; };
    put("SECTION WORLDITEM ");
    number(numbers.section);
    put("\r\n{\r\nSERIAL ");
    number(numbers.serial);
    put("\r\nNAME #\r\nID ");
    number(rec.ItemId);
    put("\r\nX ");
    number(int64_t(bx) * 8 + rec.X);
    put("\r\nY ");
    number(int64_t(by) * 8 + rec.Y);
    put("\r\nZ ");
    number(rec.Z);
    put("\r\nCOLOR ");
    number(rec.Color);
    put("\r\nCONT -1\r\nTYPE 255\r\n}\r\n\r\n");
    return size_t(p - text);
}

} // namespace detail

std::unique_ptr<AtomicFile> PrepareWorldItems(const std::string& path, const TStaticBlock& block, int bx, int by,
                                              const LogSink& log) {
    if (block.Count == 0) {
        if (log) log(NothingToDoMessage);
        return nullptr;
    }
    if (block.Count > StaticBlockCapacity) throw Error(tooManyStaticsMessage(block.Count));
    const bool exists = fileExists(path);
    // Written beside the old file and renamed over it: a failure leaves the old text whole.
    // The old text is read in chunks and copied as it goes: the lines before its first "EOF"
    // are kept, and every line counts for the highest numbers.
    auto out = std::make_unique<AtomicFile>(path);
    wstext::StreamTextWriter writer(out->file());
    detail::PatchNumbers numbers;
    if (exists) {
        numbers.section = -1;
        const std::unique_ptr<File> old = openFile(path, OpenMode::Read);
        wstext::ChunkedLineReader reader(*old);
        aboutFile(path, [&] {
            wstext::Line line;
            bool eofSeen = false;
            while (reader.next(line)) {
                const std::string_view s = line.text;
                if (s.empty()) {
                    if (!eofSeen) writer.keepLine(line);
                    continue;
                }
                const char first = wstext::upperAscii(s[0]);
                if (!eofSeen) {
                    if (detail::startsEofLine(s)) eofSeen = true;
                    else writer.keepLine(line);
                }
                if (first == 'S') detail::noteNumbers(s, numbers);
            }
        });
        old->close();
    }
    detail::checkNumbersLeft(numbers, block.Count);
    for (int i = 0; i < block.Count; ++i) detail::writeItemSection(writer, numbers, block.Records[size_t(i)], bx, by);
    detail::writeEofTrailer(writer);
    writer.flush();
    out->prepare();
    return out;
}

void WriteWorldItems(const std::string& path, const TStaticBlock& block, int bx, int by, const LogSink& log) {
    if (auto out = PrepareWorldItems(path, block, bx, by, log)) out->commitPrepared();
}

} // namespace tq
