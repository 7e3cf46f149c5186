// The LCF map run over 512 x 512 x 161 with I0, two references, 1-pixel bins
// and the Fe K suggestion: the row run and, for comparison, the bin-by-bin run
// it replaced (the reference of the tests). bench/lcf_peer.py runs the first
// beside a numpy LCF of the same stack. Links the core libraries only.
#include "support/LcfBenchStack.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <memory>

using namespace lcfbench;

namespace {

void runMaps(benchmark::State &state, const MapRun::TaskFactory &factory, bool quality) {
    const AnalyzeCond grid(StackSide, StackSide, 0, 0, 0, 0, StackSide, StackSide);
    std::vector<std::unique_ptr<Analyzed2DRes>> maps;
    QVector<Analyzed2DRes *> list;
    for (int k = 0; k < lcfMapCount(4, quality); ++k) {
        maps.push_back(std::make_unique<Analyzed2DRes>());
        maps.back()->prepare(grid);
        list.append(maps.back().get());
    }
    for (auto _ : state) {
        MapRun run;
        run.run(grid, list, factory, int(state.range(0)));
    }
    state.SetItemsProcessed(state.iterations() * grid.binCount());
    state.counters["fractionA"] = list[lcfFractionMap(0, 4)]->valueAt(StackSide / 4, 10);
}

LcfRunSettings feKSettings() {
    LcfRunSettings s = feKStack().settings();
    s.suggestion = feKSuggestion();
    return s;
}

void BM_LcfRowRun(benchmark::State &state) {
    runMaps(state, lcfRunFactory(feKSettings()), false);
}
// Arg: threads.
BENCHMARK(BM_LcfRowRun)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LcfBinByBinRun(benchmark::State &state) {
    runMaps(state, lcfBinByBinFactory(feKSettings()), false);
}
BENCHMARK(BM_LcfBinByBinRun)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// With non-negative, sum-to-one fractions and the quality maps.
void BM_LcfRowRunConstrained(benchmark::State &state) {
    LcfRunSettings s = feKSettings();
    s.options = {true, true, true};
    runMaps(state, lcfRunFactory(s), true);
}
BENCHMARK(BM_LcfRowRunConstrained)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    qputenv("LUMENSTACK_QUIET_LOG", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    feKStack(); // built before the clock starts
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
