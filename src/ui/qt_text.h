#pragma once
// The one conversion between the windows' QString and the core's std::string (UTF-8).
#include <QString>

#include <string>

namespace tq {

inline std::string str(const QString& text) { return text.toStdString(); }
inline QString qstr(const std::string& text) { return QString::fromStdString(text); }

} // namespace tq
