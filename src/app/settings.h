#pragma once
// The per-user settings store shared by every window (and by terraquill-cli's
// `settings` command). On Windows QSettings("Brannock", "Terraquill") is the registry
// key HKCU\Software\Brannock\Terraquill; elsewhere ~/.config/Brannock/Terraquill.conf.
// Header-only so the command-line tool, which does not link the windows, shares it.
#include "core/error.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <array>

namespace tq::settings {

inline constexpr const char* Organization = "Brannock";
inline constexpr const char* Application = "Terraquill";

// Value names. Windows share a name where they share the meaning.
inline constexpr const char* StaIdx = "StaIdx0.mul";
inline constexpr const char* Statics = "Statics0.mul";
inline constexpr const char* WorldSave = "UOX3.wsc";
inline constexpr const char* Mode = "Mode";  // the one integer value
inline constexpr const char* OriginalStaIdx = "O-StaIdx0.mul";
inline constexpr const char* OriginalStatics = "O-Statics0.mul";
inline constexpr const char* OriginalMap = "O-Map0.mul";
inline constexpr const char* Map = "Map0.mul";
inline constexpr const char* ClientFolder = "UOPath";
inline constexpr const char* CoordX = "CoordX";
inline constexpr const char* CoordY = "CoordY";

inline constexpr std::array<const char*, 11> AllNames = {
    StaIdx, Statics, WorldSave, Mode, OriginalStaIdx, OriginalStatics, OriginalMap, Map, ClientFolder, CoordX, CoordY};

inline bool isIntegerValue(const QString& name) { return name == QLatin1String(Mode); }

// Each call opens the store, does one thing and closes it again, so windows never
// hold stale copies of each other's values.
inline bool contains(const char* name) {
    QSettings store(Organization, Application);
    return store.contains(QLatin1String(name));
}

// A missing value reads as the empty text.
inline QString readString(const char* name) {
    QSettings store(Organization, Application);
    return store.value(QLatin1String(name)).toString();
}

// A missing or non-numeric value reads as 0.
inline int readInt(const char* name) {
    QSettings store(Organization, Application);
    return store.value(QLatin1String(name)).toInt();
}

namespace detail {
inline void commit(QSettings& store, const char* name) {
    store.sync();
    if (store.status() != QSettings::NoError)
        throw Error(std::string("Cannot store the setting \"") + name + "\": the settings store (" +
                    store.fileName().toStdString() + ") cannot be written");
}
} // namespace detail

inline void writeString(const char* name, const QString& value) {
    QSettings store(Organization, Application);
    store.setValue(QLatin1String(name), value);
    detail::commit(store, name);
}

inline void writeInt(const char* name, int value) {
    QSettings store(Organization, Application);
    store.setValue(QLatin1String(name), value);
    detail::commit(store, name);
}

} // namespace tq::settings
