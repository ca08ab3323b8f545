#pragma once
#include <exception>
#include <string>

namespace tq::test {

// The message of the exception f throws, or "<no error>": lets a table of cases
// compare messages with EXPECT_EQ.
template <class F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<no error>";
}

} // namespace tq::test
