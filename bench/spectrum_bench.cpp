// Spectrum core hot paths: normalisation (once per bin in the 2-D analyses),
// interpolation, and the transform of the Fourier analysis. The "allocs"
// counter is the number of heap allocations per iteration.
#include "spectrum/FourierTransform.h"
#include "spectrum/PhysicalConstants.h"
#include "spectrum/VictLine.h"
#include "spectrum/XafsSpectrum.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>

// Every heap allocation of the process, Qt's containers included, goes through
// malloc and friends: count them on the way to glibc's own allocator.
namespace {
std::atomic<long> allocations{0};
}

extern "C" {
void *__libc_malloc(std::size_t);
void *__libc_calloc(std::size_t, std::size_t);
void *__libc_realloc(void *, std::size_t);
void *__libc_memalign(std::size_t, std::size_t);

void *malloc(std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
void *calloc(std::size_t n, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
void *realloc(void *p, std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}
int posix_memalign(void **out, std::size_t alignment, std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    *out = __libc_memalign(alignment, n);
    return *out ? 0 : 12; // ENOMEM
}
}

namespace {

// A copper K edge: Victoreen background, arctangent step, white line, noise.
Spectrum copperEdge(int n = 200) {
    Spectrum s;
    for (int i = 0; i < n; ++i) {
        const double e = 8784 + 600.0 * i / (n - 1);
        const double l = PhysicalConstants::wavelength(e);
        const double bg = 0.2 + 0.6 * l * l * l - 0.1 * l * l * l * l;
        const double step = 0.5 + std::atan((e - 8984) / 1.5) / M_PI;
        const double wl = 0.4 * std::exp(-std::pow(e - 8989, 2) / 18);
        s.addPoint(e, bg + step + wl + 0.003 * std::sin(i * 12.9898));
    }
    return s;
}

SuggestElm copperK() {
    SuggestElm s;
    s.use = true;
    s.edgeEnergy = 8984.36029;
    return s;
}

void reportAllocations(benchmark::State &state, long before) {
    state.counters["allocs"] =
        benchmark::Counter(double(allocations.load() - before), benchmark::Counter::kAvgIterations);
}

void BM_Renormalize(benchmark::State &state) {
    const int simple = int(state.range(0));
    XafsSpectrum x(copperEdge(), "bench", simple, 0, copperK());
    const long before = allocations.load();
    for (auto _ : state) {
        x.normalize(simple);
        benchmark::DoNotOptimize(x.dMut());
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_Renormalize)->Arg(1)->Arg(0)->ArgName("straight");

// The per-bin loop of the analyses: a new spectrum into a reused object.
void BM_AssignAndNormalize(benchmark::State &state) {
    const Spectrum s = copperEdge();
    XafsSpectrum x(s, "bench", 1, 0, copperK());
    const QString name("Body-AaP");
    const long before = allocations.load();
    for (auto _ : state) {
        x.assign(s, name, 1, 0, copperK());
        benchmark::DoNotOptimize(x.dMut());
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_AssignAndNormalize);

// What the main window does per mouse move: a fresh XafsSpectrum.
void BM_ConstructNormalized(benchmark::State &state) {
    const Spectrum s = copperEdge();
    const long before = allocations.load();
    for (auto _ : state) {
        XafsSpectrum x(s, "body-show", 1, 0, copperK());
        benchmark::DoNotOptimize(x.dMut());
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_ConstructNormalized);

void BM_Fits(benchmark::State &state) {
    const Spectrum s = copperEdge();
    const int simple = int(state.range(0));
    VictLine pre, post;
    const long before = allocations.load();
    for (auto _ : state) {
        pre.fit(s, 8784, 8964, simple);
        post.fit(s, 9004, 9384, simple);
        benchmark::DoNotOptimize(pre.c0() + post.c0());
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_Fits)->Arg(1)->Arg(0)->ArgName("straight");

void BM_ValueAt(benchmark::State &state) {
    const Spectrum s = copperEdge();
    double e = 8784;
    const long before = allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.valueAt(e));
        e += 0.37;
        if (e > 9384)
            e = 8784;
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_ValueAt);

void BM_SetSizeUnchanged(benchmark::State &state) {
    FourierTransform ft;
    ft.setSize(200);
    for (auto _ : state) {
        ft.setSize(200);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SetSizeUnchanged);

void BM_TransformMagnitudes(benchmark::State &state) {
    const Spectrum s = copperEdge(int(state.range(0)));
    FourierTransform ft;
    ft.setSize(int(state.range(0)));
    const long before = allocations.load();
    for (auto _ : state) {
        ft.setSize(int(state.range(0)));
        ft.transform(s);
        benchmark::DoNotOptimize(ft.magnitudes());
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_TransformMagnitudes)->Arg(200)->Arg(256);

} // namespace

BENCHMARK_MAIN();
