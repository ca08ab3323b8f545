#include "app/about.h"

#include "ui/settings.h"

#include <QtGlobal>

namespace tq {

QString aboutText() {
    return QStringLiteral("Terraquill %1\n\nQt %2\n\nSettings are stored in:\n%3")
        .arg(QStringLiteral(TQ_VERSION), QString::fromLatin1(qVersion()), settings::storeLocation());
}

} // namespace tq
