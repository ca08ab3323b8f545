#pragma once
#include <QString>

class QDialog;
class QWidget;

namespace tq {

struct OverviewPicture;

// A window of its own showing an overview picture at its size, scrolled when larger than
// the screen: the diff window's "Show changes". Modeless; it goes when closed.
QDialog* showChangesPicture(QWidget* parent, const OverviewPicture& picture, const QString& caption,
                            const QString& summary);

} // namespace tq
