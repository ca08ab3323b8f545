#pragma once
#include <QString>

namespace tq {

// The text of Help → About: the program and its version (the one terraquill-cli
// --version prints), the Qt it runs on, and where its settings are stored.
QString aboutText();

} // namespace tq
