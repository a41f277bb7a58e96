// The premultiplication pass over a picture the size of the login background
// (1194x685, the largest skin picture). The counter per_pixel is the time per
// pixel in seconds ("1.2n" is 1.2 nanoseconds).
#include "skin/premultiply.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 1194;
constexpr int kHeight = 685;
constexpr int kStride = kWidth * 4;

void PremultiplyLoginBackground(benchmark::State& state)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kStride) * kHeight);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    // The pass has no data-dependent branches, so repeated passes over the
    // darkening picture cost what the first does.
    for (auto _ : state) {
        PremultiplyRows(pixels.data(), kWidth, kHeight, kStride);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    const double pixelsPerPass = double(kWidth) * kHeight;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight);
    state.counters["per_pixel"] = benchmark::Counter(
        pixelsPerPass, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(PremultiplyLoginBackground)->Unit(benchmark::kMicrosecond);

} // namespace
