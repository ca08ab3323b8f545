#pragma once
#include <functional>
#include <string>

namespace tq {

// A function taking a percentage 0..100.
using ProgressCallback = std::function<void(int)>;
// Receives each log line an operation writes (the main window's log, the CLI's stdout).
using LogSink = std::function<void(const std::string&)>;

// What a long operation reports to whoever runs it: the bar position, the message
// above the bar, and a pump at fixed points so a window can repaint (design: events
// are processed, user input waits). Any member may be empty.
struct Progress {
    ProgressCallback position;
    std::function<void(const std::string&)> message;
    std::function<void()> pump;

    void report(int percent) const {
        if (position) position(percent);
    }
    void setMessage(const std::string& text) const {
        if (message) message(text);
    }
    void pumpEvents() const {
        if (pump) pump();
    }
};

} // namespace tq
