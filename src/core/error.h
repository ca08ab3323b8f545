#pragma once
#include <stdexcept>
#include <string>

namespace tq {

// Every failure the user can see: the message is exactly what the error box shows.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that is not a number in the expected notation ("Input not SpacedHex",
// "'%s' is not a valid integer value"). Callers that accept free text catch this one.
class ConvertError : public Error {
public:
    using Error::Error;
};

} // namespace tq
