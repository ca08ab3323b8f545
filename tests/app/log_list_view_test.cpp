// The windows' log: every line kept in order, added in batches, and the oldest dropped
// only past the cap, with the number dropped shown.
#include "ui/log_list.h"

#include <QCoreApplication>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace tq::test {
namespace {

QStringList numbered(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i) out << QString("line %1").arg(i);
    return out;
}

TEST(LogListView, KeepsEveryLineInOrderAcrossBatchesAndShowsThemOnTheNextTurn) {
    LogList log;
    for (const QString& line : numbered(1, 3)) log.addLine(line);
    EXPECT_EQ(log.model()->rowCount(), 0);  // waiting for the batch
    QCoreApplication::processEvents();
    EXPECT_EQ(log.model()->rowCount(), 3);
    for (const QString& line : numbered(4, 5)) log.addLine(line);
    EXPECT_EQ(log.lines(), numbered(1, 5));
    EXPECT_EQ(log.model()->index(4, 0).data().toString(), "line 5");
    log.clear();
    EXPECT_EQ(log.count(), 0);
}

TEST(LogListView, PastTheCapKeepsTheLastLinesAndSaysHowManyWentWhateverTheBatches) {
    struct Case {
        std::vector<int> batches;  // lines added before each flush
        int kept;
    };
    for (const Case& c : {Case{{12}, 5}, Case{{3, 3}, 5}, Case{{5, 1, 1, 1}, 5}, Case{{4}, 4}}) {
        LogList log(nullptr, 5);
        int total = 0;
        for (int n : c.batches) {
            for (const QString& line : numbered(total + 1, total + n)) log.addLine(line);
            total += n;
            log.flush();
        }
        QStringList expected = numbered(total - c.kept + 1, total);
        if (total > c.kept) expected.prepend(QString("(%1 earlier lines are not kept)").arg(total - c.kept));
        EXPECT_EQ(log.lines(), expected) << total;
        EXPECT_EQ(log.droppedLines(), std::size_t(total - c.kept));
    }
    EXPECT_EQ(droppedLinesNote(1234567), "(1,234,567 earlier lines are not kept)");
}

TEST(LogListView, ALogFollowsItsLastLineAndAListingStaysAtItsTop) {
    for (bool follows : {true, false}) {
        LogList log;
        log.setFollowsEnd(follows);
        log.resize(200, 100);
        log.show();
        for (const QString& line : numbered(1, 500)) log.addLine(line);
        log.flush();
        QCoreApplication::processEvents();
        const QScrollBar* bar = log.verticalScrollBar();
        EXPECT_GT(bar->maximum(), 0);
        EXPECT_EQ(bar->value(), follows ? bar->maximum() : 0) << follows;
    }
}

TEST(LogListView, ALongLineScrollsSidewaysInsteadOfBeingCut) {
    LogList log;
    log.resize(200, 100);
    log.show();
    log.addLine("short");
    log.flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(log.horizontalScrollBar()->maximum(), 0);
    log.addLine(QString(300, 'x'));
    log.flush();
    QCoreApplication::processEvents();
    EXPECT_GT(log.horizontalScrollBar()->maximum(), 0);
    log.clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(log.horizontalScrollBar()->maximum(), 0);
}

} // namespace
} // namespace tq::test
