#include "ui/log_list.h"

#include <QAbstractListModel>
#include <QHeaderView>
#include <QLocale>
#include <QTimer>

#include <algorithm>

namespace tq {

class LogListModel final : public QAbstractListModel {
public:
    LogListModel(QObject* parent, std::size_t maxLines) : QAbstractListModel(parent), maxLines_(maxLines) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(lines_.size() + (dropped_ > 0 ? 1 : 0));
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
        int row = index.row();
        if (dropped_ > 0) {
            if (row == 0) return droppedLinesNote(dropped_);
            --row;
        }
        if (row < 0 || std::size_t(row) >= lines_.size()) return {};
        return lines_[std::size_t(row)];
    }

    void append(QStringList& batch) {
        if (batch.isEmpty()) return;
        const std::size_t total = lines_.size() + std::size_t(batch.size());
        if (total <= maxLines_) {
            const int at = rowCount();
            beginInsertRows({}, at, at + int(batch.size()) - 1);
            for (QString& line : batch) lines_.push_back(std::move(line));
            endInsertRows();
        } else {
            // Dropping from the front moves every row (and may add the note's): one reset
            // is cheaper than telling the view about each move.
            beginResetModel();
            for (QString& line : batch) lines_.push_back(std::move(line));
            const std::size_t overflow = total - maxLines_;
            lines_.erase(lines_.begin(), lines_.begin() + std::ptrdiff_t(overflow));
            dropped_ += overflow;
            endResetModel();
        }
        batch.clear();
    }

    void clear() {
        beginResetModel();
        lines_.clear();
        dropped_ = 0;
        endResetModel();
    }

    QStringList lines() const {
        QStringList out;
        out.reserve(rowCount());
        if (dropped_ > 0) out << droppedLinesNote(dropped_);
        for (const QString& line : lines_) out << line;
        return out;
    }

    std::size_t dropped() const { return dropped_; }

private:
    std::size_t maxLines_;
    std::deque<QString> lines_;
    std::size_t dropped_ = 0;
};

QString droppedLinesNote(std::size_t dropped) {
    return QStringLiteral("(%1 earlier lines are not kept)").arg(QLocale(QLocale::English).toString(qulonglong(dropped)));
}

LogList::LogList(QWidget* parent, std::size_t maxLines)
    : QTableView(parent), model_(new LogListModel(this, maxLines == 0 ? 1 : maxLines)) {
    setModel(model_);
    // One column of lines, rows of the text's height, no table furniture.
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void LogList::addLine(const QString& line) {
    if (line.size() > longest_.size()) longest_ = line;
    pending_ << line;
    if (!flushPosted_) {
        flushPosted_ = true;
        QTimer::singleShot(0, this, [this] { flush(); });
    }
}

void LogList::flush() {
    flushPosted_ = false;
    if (pending_.isEmpty()) return;
    model_->append(pending_);
    fitColumn();
    if (followsEnd_) scrollToBottom();
}

void LogList::clear() {
    pending_.clear();
    longest_.clear();
    model_->clear();
    fitColumn();
}

void LogList::fitColumn() {
    const int text = longest_.isEmpty() ? 0 : fontMetrics().horizontalAdvance(longest_) + 12;
    const int width = std::max(viewport()->width(), text);
    if (columnWidth(0) != width) setColumnWidth(0, width);
}

void LogList::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    fitColumn();
}

int LogList::count() {
    flush();
    return model_->rowCount();
}

QStringList LogList::lines() {
    flush();
    return model_->lines();
}

std::size_t LogList::droppedLines() const { return model_->dropped(); }

} // namespace tq
