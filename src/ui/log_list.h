#pragma once
// A log of any length for the windows: lines are kept in order in a list model and shown
// as rows of one fixed height, so adding a line costs the same whatever the log holds (a
// list view lays out every row again on each insertion; a table of fixed rows does not).
// Lines wait in a batch until the next flush (the event loop's next turn, or a pump of a
// long operation), which adds them with one model insertion and scrolls once.
#include <QTableView>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <deque>

namespace tq {

class LogListModel;

class LogList : public QTableView {
public:
    // Beyond this many lines the oldest go, and the first row says how many have gone.
    static constexpr std::size_t DefaultMaxLines = 1'000'000;

    explicit LogList(QWidget* parent = nullptr, std::size_t maxLines = DefaultMaxLines);

    void addLine(const QString& line);
    void clear();
    // Shows the waiting lines now, scrolled to the last one if the list follows its end.
    void flush();
    // A log follows its last line; a listing read from the top does not.
    void setFollowsEnd(bool follows) { followsEnd_ = follows; }

    // What the log shows, waiting lines included: for tests and copying.
    int count();
    QStringList lines();
    std::size_t droppedLines() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The column is as wide as the longest line (by characters, measured once when it
    // changes), or the view: long lines scroll sideways instead of being cut.
    void fitColumn();

    LogListModel* model_;
    QString longest_;
    QStringList pending_;
    bool flushPosted_ = false;
    bool followsEnd_ = true;
};

// The note in the first row once lines have been dropped.
QString droppedLinesNote(std::size_t dropped);

} // namespace tq
