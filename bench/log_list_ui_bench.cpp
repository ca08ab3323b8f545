// The windows' log at size: adding a batch of lines (and showing them, scrolled to the
// end) when the log already holds 10 thousand to a million lines. The time should not
// grow with the lines already there.
#include "ui/log_list.h"

#include <QApplication>
#include <QStandardPaths>
#include <benchmark/benchmark.h>

namespace {

using namespace tq;

void BM_LogAppendBatch(benchmark::State& state) {
    LogList log;
    log.resize(800, 200);
    log.show();
    const QString line = "Selecting item for export... XBlock: 123 YBlock: 456";
    for (int64_t i = 0; i < state.range(0); ++i) log.addLine(line);
    log.flush();
    QApplication::processEvents();
    for (auto _ : state) {
        for (int i = 0; i < 20; ++i) log.addLine(line);  // what one pump of a freeze brings
        log.flush();
        QApplication::processEvents();  // the layout and the repaint happen here
    }
}
BENCHMARK(BM_LogAppendBatch)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
