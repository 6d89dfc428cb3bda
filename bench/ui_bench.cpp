// Showing a phase of the match table and one score keystroke (with its save),
// each next to a baseline of the same run: creating and showing as many plain
// widgets as the phase has row controls, and saving the match document alone.

#include "changing_score.h"
#include "ratio_reporter.h"
#include "torvel_application.h"
#include "torvel_program.h"
#include "tournament_fixture.h"

#include <QScrollArea>
#include <QTest>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A started program on the fixture's tournament, for the length of a run.
struct TBenchProgram {
    torvel_test::TempProgramDir dir;
    std::unique_ptr<TTorvelProgram> program;

    TBenchProgram() {
        dir.WriteValidTournament();
        program = std::make_unique<TTorvelProgram>(dir.Path());
        program->FormTorvel.show();
    }
};

constexpr int ControlsPerRow = 8;

void BM_ShowPhase(benchmark::State& state) {
    TBenchProgram bench;
    QComboBox* phases = bench.program->FormTorvel.cFases;
    const int phase = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        // Leave the measured phase first, and paint what that showed, so that
        // the timed part paints only its own phase, as the baseline does.
        phases->setCurrentIndex(1 - phase);
        QApplication::processEvents();
        state.ResumeTiming();
        phases->setCurrentIndex(phase);
        QApplication::processEvents();
    }
    state.SetLabel(phase == 0 ? "Primeira Fase (48 rows)" : "Eliminatórias (16 rows)");
}
BENCHMARK(BM_ShowPhase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PlainWidgetsBaseline(benchmark::State& state) {
    QScrollArea area;
    auto* contents = new QWidget;
    area.setWidget(contents);
    area.show();
    const int count = static_cast<int>(state.range(0)) * ControlsPerRow;
    for (auto _ : state) {
        std::vector<std::unique_ptr<QWidget>> widgets;
        for (int i = 0; i < count; ++i) {
            widgets.push_back(std::make_unique<QWidget>(contents));
            widgets.back()->setGeometry(10, i * 5, 20, 20);
            widgets.back()->show();
        }
        QApplication::processEvents();
    }
    state.SetLabel("plain widgets of " + std::to_string(state.range(0)) + " rows");
}
BENCHMARK(BM_PlainWidgetsBaseline)->Arg(48)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_ScoreKeystroke(benchmark::State& state) {
    TBenchProgram bench;
    TformTorvel& window = bench.program->FormTorvel;
    QLineEdit* box = window.mGols0[0];
    int digit = 0;
    for (auto _ : state) {
        box->selectAll();
        QTest::keyClick(box, static_cast<char>('0' + digit));
        digit = (digit + 1) % 10;
    }
}
BENCHMARK(BM_ScoreKeystroke)->Unit(benchmark::kMicrosecond);

void BM_SaveMatchDocumentBaseline(benchmark::State& state) {
    TBenchProgram bench;
    TChangingScore score(TorvelDatabase->XMLJogos.Document());
    for (auto _ : state) {
        score.Change();
        TorvelDatabase->XMLJogos.SaveToFile();
    }
}
BENCHMARK(BM_SaveMatchDocumentBaseline)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    return bench::RunWithRatios(
        argc, argv,
        {{"ui_group", "BM_ShowPhase/0", "BM_PlainWidgetsBaseline/48"},
         {"ui_knockout", "BM_ShowPhase/1", "BM_PlainWidgetsBaseline/16"},
         {"ui_keystroke", "BM_ScoreKeystroke", "BM_SaveMatchDocumentBaseline"}});
}
