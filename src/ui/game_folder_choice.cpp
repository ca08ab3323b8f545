#include "ui/game_folder_choice.h"

#include "core/game_folder.h"
#include "ui/prompts.h"
#include "ui/qt_text.h"
#include "ui/settings.h"

#include <QLineEdit>

namespace tq {

QString askGameFolder(QWidget* parent) {
    return prompts().existingFolder(parent, "Choose the folder of your game", settings::readString(settings::GameFolder));
}

QStringList fillFromGameFolder(const QString& folder, int facet,
                               const std::vector<std::pair<QLineEdit*, PathKind>>& fields) {
    std::vector<PathKind> kinds;
    for (const auto& field : fields) kinds.push_back(field.second);
    const std::vector<GameFolderFile> found = findWorldFiles(str(folder), facet, kinds);
    for (size_t i = 0; i < fields.size(); ++i)
        if (found[i].found()) fields[i].first->setText(qstr(found[i].path));
    settings::writeString(settings::GameFolder, folder);
    QStringList lines;
    for (const std::string& line : gameFolderReport(str(folder), found)) lines << qstr(line);
    return lines;
}

} // namespace tq
