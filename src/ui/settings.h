#pragma once
// The per-user settings store shared by every window (and by terraquill-cli's
// `settings` command). On Windows QSettings("Brannock", "Terraquill") is the registry
// key HKCU\Software\Brannock\Terraquill; elsewhere ~/.config/Brannock/Terraquill.conf.
// Header-only so the command-line tool, which does not link the windows, shares it.
// The value names are in core/setting_names.h, which the Qt-free rules share.
#include "core/error.h"
#include "core/setting_names.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace tq::settings {

inline bool isIntegerValue(const QString& name) {
    return name == QLatin1String(Mode) || name == QLatin1String(SharedWorld);
}

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

// Where the store lives, as its user would look for it: the file, or the registry key.
inline QString storeLocation() {
    QSettings store(Organization, Application);
    return store.fileName();
}

} // namespace tq::settings
