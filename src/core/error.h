#pragma once
#include <stdexcept>
#include <string>

namespace tq {

// Every failure the user can see: the message is exactly what the error box shows.
// A failure about one file also carries that file's path, apart from the message, so a
// window that must show an exact text still can, and the command line can say which of
// its files it was ("error: staidx0.mul: Read beyond end of file").
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, std::string path = {})
        : std::runtime_error(message), path_(std::move(path)) {}
    explicit Error(const char* message, std::string path = {})
        : std::runtime_error(message), path_(std::move(path)) {}

    // The file the failure is about, as the caller named it; "" when it is about none.
    const std::string& path() const { return path_; }
    // Names the file when the failure does not name one yet (callers that know which of
    // their files an unnamed failure came from); rethrow with `throw;` to keep the type.
    void setPathIfMissing(const std::string& path) {
        if (path_.empty()) path_ = path;
    }
    void setPath(const std::string& path) { path_ = path; }

private:
    std::string path_;
};

// Runs `work`; a failure in it that names no file is about `path` (a number that cannot be
// read in a world-save is about the world-save).
template <typename F>
decltype(auto) aboutFile(const std::string& path, F&& work) {
    try {
        return work();
    } catch (Error& e) {
        e.setPathIfMissing(path);
        throw;
    }
}

// A text that is not a number in the expected notation ("Input not SpacedHex",
// "'%s' is not a valid integer value"). Callers that accept free text catch this one.
class ConvertError : public Error {
public:
    using Error::Error;
};

} // namespace tq
