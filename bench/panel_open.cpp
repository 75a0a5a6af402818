// The remote panel's opening on a warm app: RemoteController::toggle(anchor) from hidden until
// the panel is visible and its view has painted once, on the demo TVs with the living room
// connected and playing, after one warm-up showing. The baseline, interleaved in the same run:
// a plain frameless QWidget of the panel's size, made, shown and painted the same way. Each
// opening also destroys the previous panel or window, as a click on the tray does. Prints the
// median of each, ratio = panel / baseline, and whether the panel's median is under 100 ms.
//
// Offscreen unless QT_QPA_PLATFORM says otherwise. On an X server of its own (Xvfb, no TCP):
//   QT_QPA_PLATFORM=xcb tests/input/with-xvfb.sh build-bench/bench/bench_panel_open

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QScreen>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/LoginItem.hpp"
#include "session/AppStore.hpp"
#include "session/DemoServices.hpp"
#include "session/LoginItemService.hpp"
#include "shell/QtMainLoop.hpp"
#include "shell/RemoteController.hpp"
#include "shell/RemotePanel.hpp"

namespace {

constexpr int kWaitMs = 5000;  // a showing that has not painted by then failed
constexpr double kTargetMs = 100;

// Notes the first paint of the widget `target` names, whichever widget that is by then: the
// panel's view only exists once toggle() has made it.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(std::function<const QObject*()> target) : target_(std::move(target)) {
        qApp->installEventFilter(this);
    }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    PaintWatch(const PaintWatch&) = delete;
    PaintWatch& operator=(const PaintWatch&) = delete;

    void arm() { painted_ = false; }
    bool painted() const { return painted_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_ && watched == target_()) painted_ = true;
        return false;
    }

private:
    std::function<const QObject*()> target_;
    bool painted_ = false;
};

// Runs Qt's events until `done`, for at most kWaitMs; false when time ran out. The paint that
// sets `done` is finished (and flushed) when the batch that delivered it returns.
bool runUntil(const std::function<bool()>& done) {
    QTimer bound;  // wakes the wait below when nothing else comes
    bound.setSingleShot(true);
    bound.start(kWaitMs);
    while (!done()) {
        if (!bound.isActive()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Lets a hidden window's unmapping and deferred deletions settle before the next showing.
void settle() {
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
}

// The offscreen platform warns at every showing that it cannot raise a window; the rest of
// Qt's messages go through.
QtMessageHandler gQtMessages = nullptr;
void dropRaiseWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("does not support raise()"))) return;
    if (gQtMessages) gQtMessages(type, context, text);
}

double median(std::vector<double> samples) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The demo session as `--demo` runs it, connected to a TV that plays, and the remote around it
// as the desktop app makes it.
struct DemoRemote {
    orvel::QtMainLoop loop;
    orvel::DemoServices demo = orvel::DemoServices::open(loop, "");  // nothing read or written
    orvel::LoginItemService login{orvel::LoginItem("", "")};
    std::shared_ptr<orvel::AppStore> store =
        orvel::AppStore::create({.loop = loop,
                                 .defaults = *demo.defaults,
                                 .credentials = *demo.credentials,
                                 .login = login,
                                 .bridge = std::move(demo.bridge),
                                 .demo = true});
    orvel::RemoteController remote{*store, *demo.defaults, {.showSettings = [] {}}};
    QPoint anchor;

    DemoRemote() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        anchor = {screen.center().x(), screen.top() + 5};  // a tray at the top
    }
    ~DemoRemote() {
        remote.close();
        store->shutdown();
    }
    DemoRemote(const DemoRemote&) = delete;
    DemoRemote& operator=(const DemoRemote&) = delete;
};

DemoRemote* gRemote = nullptr;
QRect gPanelGeometry;  // the warm-up panel's, which the baseline window takes
std::vector<double> gPanelMs;
std::vector<double> gBaselineMs;

const QObject* currentView() {
    const auto* panel = gRemote->remote.panel();
    return panel ? panel->content() : nullptr;
}

// One showing of the remote until its view painted, then closed; milliseconds, or a negative
// number when it did not paint in time.
double openPanel(PaintWatch& watch) {
    watch.arm();
    QElapsedTimer clock;
    clock.start();
    gRemote->remote.toggle(gRemote->anchor);
    const bool painted = runUntil([&] { return gRemote->remote.isShown() && watch.painted(); });
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    gRemote->remote.close();  // not toggle(): a lost focus may have closed it already
    settle();
    return painted ? ms : -1;
}

void BM_PanelOpen(benchmark::State& state) {
    PaintWatch watch(currentView);
    for (auto _ : state) {
        const double ms = openPanel(watch);
        if (ms < 0) {
            state.SkipWithError("the panel did not paint in time");
            break;
        }
        state.SetIterationTime(ms / 1e3);
        gPanelMs.push_back(ms);
    }
}

void BM_PlainWindow(benchmark::State& state) {
    std::unique_ptr<QWidget> window;
    PaintWatch watch([&] { return window.get(); });
    for (auto _ : state) {
        watch.arm();
        QElapsedTimer clock;
        clock.start();
        window.reset();
        window = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        window->setGeometry(gPanelGeometry);
        window->show();
        const bool painted = runUntil([&] { return watch.painted(); });
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        window->hide();
        settle();
        if (!painted) {
            state.SkipWithError("the plain window did not paint in time");
            break;
        }
        state.SetIterationTime(ms / 1e3);
        gBaselineMs.push_back(ms);
    }
}

// Interleaved, so that a machine busy for a moment weighs on both alike.
BENCHMARK(BM_PanelOpen)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWindow)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanelOpen)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWindow)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);  // first: Qt keeps argc and argv
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    gQtMessages = qInstallMessageHandler(dropRaiseWarnings);
    auto remote = std::make_unique<DemoRemote>();
    gRemote = remote.get();
    remote->store->start();
    const auto& session = remote->store->state();
    if (!runUntil([&] { return session.connected && session.playing; })) {
        static_cast<void>(std::fprintf(stderr, "the demo TV did not connect and play\n"));
        return 1;
    }
    // The first showing after launch loads fonts, styles and icons: not what is measured.
    {
        PaintWatch watch(currentView);
        if (openPanel(watch) < 0) {
            static_cast<void>(std::fprintf(stderr, "the warm-up panel did not paint\n"));
            return 1;
        }
        gPanelGeometry = remote->remote.panel()->geometry();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double panelMs = median(gPanelMs);
    const double baselineMs = median(gBaselineMs);
    std::printf("platform %s, panel %dx%d\n", qPrintable(QGuiApplication::platformName()),
                gPanelGeometry.width(), gPanelGeometry.height());
    std::printf("panel open:   median %.2f ms (%zu runs)\n", panelMs, gPanelMs.size());
    std::printf("plain window: median %.2f ms (%zu runs)\n", baselineMs, gBaselineMs.size());
    if (baselineMs > 0) std::printf("ratio = panel / plain window = %.2f\n", panelMs / baselineMs);
    std::printf("panel median under %.0f ms: %s\n", kTargetMs,
                !gPanelMs.empty() && panelMs < kTargetMs ? "yes" : "no");
    remote.reset();
    return 0;
}
