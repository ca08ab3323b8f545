// The windows against the command line on a real-size world (1,000,000 items unless
// TQ_BENCH_ITEMS says otherwise): each operation clicked through its window offscreen
// and run by terraquill-cli, alternately, each run on a fresh copy of the world. The
// counters are the medians and the ratio window / CLI; the window's time runs from the
// first click to the end of the operation (Get Static Index included for freeze and
// melt, as the CLI loads the index too), its log lines all kept.
#include "app/main_form.h"
#include "diff/diff_form.h"
#include "fillclear/fill_clear_form.h"
#include "support/ui/scripted_prompts.h"
#include "tools/synthetic_world.h"
#include "ui/log_list.h"
#include "ui/progress_form.h"
#include "ui/settings.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace tq;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int64_t benchItems() {
    const char* text = std::getenv("TQ_BENCH_ITEMS");
    return text ? std::atoll(text) : 1'000'000;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

void run(const std::string& command) {
    if (std::system((command + " >/dev/null").c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// The original world, a modified copy (a filled area and frozen items) and the package
// between them. Made once per run.
struct Worlds {
    fs::path dir = fs::temp_directory_path() / "tq-window-vs-cli-bench";
    fs::path orig = dir / "orig", mod = dir / "mod", work = dir / "work", package = dir / "change.tq2";
    std::string cli = TQ_CLI_PATH;

    Worlds() {
        fs::remove_all(dir);
        fs::create_directories(work);
        fs::create_directories(orig);
        makeSyntheticWorld(orig.string(), benchItems());
        fs::copy(orig, mod, fs::copy_options::recursive);
        run(cli + " fill --staidx " + quoted(mod / "staidx0.mul") + " --statics " + quoted(mod / "statics0.mul") +
            " --map " + quoted(mod / "map0.mul") + " --left 1000 --top 1000 --right 1299 --bottom 1299 --tile 'Random desert' --alt 0");
        run(cli + " freeze --staidx " + quoted(mod / "staidx0.mul") + " --statics " + quoted(mod / "statics0.mul") +
            " --wsc " + quoted(mod / "items.wsc"));
        run(cli + " diff generate" + sides(orig, mod) + " --out " + quoted(package));
    }
    ~Worlds() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    static std::string sides(const fs::path& o, const fs::path& m) {
        return " --orig-staidx " + quoted(o / "staidx0.mul") + " --orig-statics " + quoted(o / "statics0.mul") +
               " --orig-map " + quoted(o / "map0.mul") + " --mod-staidx " + quoted(m / "staidx0.mul") +
               " --mod-statics " + quoted(m / "statics0.mul") + " --mod-map " + quoted(m / "map0.mul");
    }

    // A fresh copy of the original world in work/, flushed so no run pays for another's writes.
    void freshCopy() const {
        for (const char* name : {"staidx0.mul", "statics0.mul", "map0.mul", "items.wsc"})
            fs::copy_file(orig / name, work / name, fs::copy_options::overwrite_existing);
        run("sync");
    }
};

Worlds& worlds() {
    static Worlds w;
    return w;
}

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

template <typename T>
T* child(QWidget& window, const char* name) {
    T* widget = window.findChild<T*>(name);
    if (!widget) throw std::runtime_error(std::string("no control ") + name);
    return widget;
}

void expectNoErrors(const test::ScriptedPrompts& prompts) {
    if (!prompts.errors().isEmpty()) throw std::runtime_error(prompts.errors().join("; ").toStdString());
}

// One operation both ways: `window` clicks it (and returns the milliseconds it took),
// `cli` is the command line doing the same.
struct Operation {
    std::function<double()> window;
    std::function<std::string()> cli;
};

double elapsedMs(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double mainWindow(const std::function<void(TMainForm&)>& click) {
    const Worlds& w = worlds();
    settings::writeString(settings::StaIdx, q(w.work / "staidx0.mul"));
    settings::writeString(settings::Statics, q(w.work / "statics0.mul"));
    settings::writeString(settings::WorldSave, q(w.work / "items.wsc"));
    settings::writeInt(settings::Mode, 0);
    test::ScriptedPrompts prompts;
    TProgressForm progress;
    TMainForm form;
    form.show();
    QApplication::processEvents();
    const Clock::time_point start = Clock::now();
    child<QPushButton>(form, "GetStaticIndexButton")->click();
    click(form);
    const double ms = elapsedMs(start);
    expectNoErrors(prompts);
    return ms;
}

double diffWindow(const fs::path& orig, const fs::path& mod, bool generate) {
    const Worlds& w = worlds();
    test::ScriptedPrompts prompts;
    prompts.answers = {true};  // apply asks first; generate asks before replacing a package
    TProgressForm progress;
    TTQDiffForm form;
    form.show();
    const char* edits[] = {"OStaIdxEdit", "OStaticsEdit", "OMapEdit", "MStaIdxEdit", "MStaticsEdit", "MMapEdit"};
    const fs::path files[] = {orig / "staidx0.mul", orig / "statics0.mul", orig / "map0.mul",
                              mod / "staidx0.mul",  mod / "statics0.mul",  mod / "map0.mul"};
    for (int i = 0; i < 6; ++i) child<QLineEdit>(form, edits[i])->setText(q(files[i]));
    const fs::path package = generate ? w.work / "out.tq2" : w.package;
    prompts.fileAnswers.push_back(q(package));
    QApplication::processEvents();
    const Clock::time_point start = Clock::now();
    child<QPushButton>(form, generate ? "GenerateButton" : "ApplyButton")->click();
    const double ms = elapsedMs(start);
    expectNoErrors(prompts);
    return ms;
}

double fillWindow() {
    const Worlds& w = worlds();
    settings::writeString(settings::StaIdx, q(w.work / "staidx0.mul"));
    settings::writeString(settings::Statics, q(w.work / "statics0.mul"));
    settings::writeString(settings::Map, q(w.work / "map0.mul"));
    test::ScriptedPrompts prompts;
    TProgressForm progress;
    TTQFillClearForm form;
    form.show();
    child<QComboBox>(form, "FillTileComboBox")->setCurrentIndex(0);
    QApplication::processEvents();
    const Clock::time_point start = Clock::now();
    child<QPushButton>(form, "GoButton")->click();  // the whole world, the first tile
    const double ms = elapsedMs(start);
    expectNoErrors(prompts);
    return ms;
}

std::string workFiles() {
    const fs::path& d = worlds().work;
    return " --staidx " + quoted(d / "staidx0.mul") + " --statics " + quoted(d / "statics0.mul");
}

Operation operation(const std::string& name) {
    const Worlds& w = worlds();
    if (name == "freeze")
        return {[] { return mainWindow([](TMainForm& f) { child<QPushButton>(f, "FreezeWorldButton")->click(); }); },
                [&w] { return w.cli + " freeze" + workFiles() + " --wsc " + quoted(w.work / "items.wsc"); }};
    if (name == "melt")
        return {[] {
                    return mainWindow([](TMainForm& f) {
                        child<QLineEdit>(f, "XBlockEdit")->setText("100");
                        child<QLineEdit>(f, "YBlockEdit")->setText("200");
                        child<QPushButton>(f, "MeltBlockButton")->click();
                    });
                },
                [&w] { return w.cli + " melt" + workFiles() + " --wsc " + quoted(w.work / "items.wsc") + " 100 200"; }};
    if (name == "generate")
        return {[&w] { return diffWindow(w.orig, w.mod, true); },
                [&w] { return w.cli + " diff generate" + Worlds::sides(w.orig, w.mod) + " --out " + quoted(w.work / "out.tq2"); }};
    if (name == "apply")
        return {[&w] { return diffWindow(w.orig, w.work, false); },
                [&w] { return w.cli + " diff apply" + Worlds::sides(w.orig, w.work) + " " + quoted(w.package); }};
    // fill: the whole world, the window's first tile and altitude, statics and map.
    return {[] { return fillWindow(); },
            [&w] {
                return w.cli + " fill" + workFiles() + " --map " + quoted(w.work / "map0.mul") +
                       " --left 0 --top 0 --right 6143 --bottom 4095 --tile 'Random cave' --alt 0";
            }};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_WindowAgainstCli(benchmark::State& state, const std::string& name) {
    const Operation op = operation(name);
    std::vector<double> window, cli;
    try {
        for (auto _ : state) {
            state.PauseTiming();
            worlds().freshCopy();
            const Clock::time_point start = Clock::now();
            run(op.cli());
            cli.push_back(elapsedMs(start));
            worlds().freshCopy();
            state.ResumeTiming();
            window.push_back(op.window());
            state.SetIterationTime(window.back() / 1000);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["cli_ms"] = median(cli);
    state.counters["window_ms"] = median(window);
    state.counters["ratio"] = median(window) / median(cli);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, q(worlds().dir / "settings"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, q(worlds().dir / "settings"));
    for (const char* name : {"freeze", "melt", "generate", "apply", "fill"})
        benchmark::RegisterBenchmark(("BM_WindowAgainstCli/" + std::string(name)).c_str(), BM_WindowAgainstCli, name)
            ->Iterations(5)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
