// One refresh of vistra's data dialog, as the main window runs it at the
// fastest delay (8 ms): the table's fill and repaint against the plot's
// sample and repaint, 28 markers over 8 cameras (vekd's default scene),
// the dialog at 560 x 540 with all sixteen columns shown. Run under xvfb-run.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdint>
#include <memory>
#include <random>
#include <sstream>

#include "app/qt_wrapper.h"
#include "app/vistra_config.h"
#include "data/data_dialog.h"
#include "data/my_table.h"
#include "data/peak_plot.h"
#include "session/detector_session.h"

namespace {

constexpr int kMarkers = 28;
constexpr int kCameras = 8;
constexpr int64_t kRefreshMs = 8;

std::ostringstream sink;
std::unique_ptr<DetectorSession> session;
std::unique_ptr<DataDialog> dialog;
std::mt19937 randomness(7);
int frame = 0;

// A frame in which every marker is seen by both detectors of every camera,
// so that every shown cell changes.
void CollectFrame() {
    std::normal_distribution<float> jitter(0, 0.001f);
    ++frame;
    session->images.clear();
    for (int m = 0; m < kMarkers; ++m)
        for (int c = 0; c < kCameras; ++c)
            for (int d = 0; d < 2; ++d)
                session->images.push_back(ImageRecord{m, frame, c, d, 5 + m % 3, 0,
                                                      0.2f + 0.02f * m + jitter(randomness), 90.0f + m});
    session->CollectPeaks(0);
}

void BM_TableRefresh(benchmark::State& state) {
    MyTable* table = dialog->table();
    for (auto _ : state) {
        state.PauseTiming();
        CollectFrame();
        state.ResumeTiming();
        table->Fill(0);
        table->viewport()->repaint();
    }
}

// `rows` selected rows, `columns` shown quantities' columns, ten seconds
// of history behind them.
void BM_PlotRefresh(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const int columns = static_cast<int>(state.range(1));
    PeakPlot* plot = dialog->plot();
    std::vector<PlotRow> plotted;
    for (int r = 0; r < rows; ++r) plotted.push_back({r, r, r});
    std::vector<int> shown;
    for (int k = 0; k < columns; ++k) shown.push_back(k);
    plot->clear();
    plot->setColumns(shown);
    int64_t ms = 0;
    for (; ms < PlotHistory::kSpanMs; ms += kRefreshMs) {
        CollectFrame();
        plot->sample(session->tables, 0, plotted, ms);
    }
    for (auto _ : state) {
        state.PauseTiming();
        CollectFrame();
        state.ResumeTiming();
        plot->sample(session->tables, 0, plotted, ms += kRefreshMs);
        plot->repaint();
    }
    state.counters["points"] = static_cast<double>(plot->history().samples(0)->size() * rows * columns);
}

BENCHMARK(BM_TableRefresh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlotRefresh)->Args({3, 4})->Args({8, 16})->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QTWrapper wrapper;
    wrapper.init(VistraWrapperConfig(&argc, argv));

    session = std::make_unique<DetectorSession>(sink);
    for (int m = 0; m < kMarkers; ++m) session->markers.push_back(MarkerRecord{m, 0, 0, 0, 0, 0, 0});
    session->cameras.resize(kCameras);
    for (int i = 0; i < 40; ++i) CollectFrame();
    dialog = std::make_unique<DataDialog>(nullptr, session.get());
    dialog->resize(560, 540);
    dialog->sl_ShowAll();
    dialog->show();
    dialog->Fill(0);
    QApplication::processEvents();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dialog.reset();
    session.reset();
    return 0;
}
