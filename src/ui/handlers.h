#pragma once
// The one place where the windows catch what their handlers throw: every signal a
// window reacts to is connected through connectHandler, every event override calls
// guarded(). The error box shows the message; the program carries on.
#include "ui/prompts.h"

#include <QObject>
#include <QWidget>

#include <functional>

namespace tq {

template <typename Sender, typename Signal, typename Window, typename Handler>
QMetaObject::Connection connectHandler(Sender* sender, Signal signal, Window* window, Handler handler) {
    return QObject::connect(sender, signal, window, [window, handler] {
        guarded(window, [&] { std::invoke(handler, window); });
    });
}

} // namespace tq
