// One status tick of the main window through the recording fakes: its time, and the heap
// allocations it makes (the target is the three formatted status texts and nothing else).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "fakes.h"

namespace {
std::atomic<long long> g_allocations{0};
}

// GCC takes the inlined replacement pair below for a mismatched one.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

void BM_StatusTick(benchmark::State& state) {
  fakes::MainHarness h;
  h.Create();
  auto& s = h.services.nextStatus;
  s.TotalPhys = 16ull << 30;
  s.AvailPhys = 9ull << 30;
  s.UsagePhys = 43.75f;
  s.TotalPage = 20ull << 30;
  s.AvailPage = 11ull << 30;
  s.UsagePage = 45.0f;
  s.TotalWork = 512ull << 20;
  s.AvailWork = 100ull << 20;
  s.UsageWork = 80.47f;
  // Every condition checked, none met, past the spacing: the whole decision runs each tick.
  for (ui::CheckBox* c : {h.form->ChkUsagePhys, h.form->ChkUsagePage, h.form->ChkUsageWork, h.form->ChkMinute})
    c->SetChecked(true);
  for (ui::ComboBox* l : {h.form->EditUsagePhys, h.form->EditUsagePage, h.form->EditUsageWork, h.form->EditMinute})
    l->SetItemIndex(6);
  h.services.now += 1'800'000;  // past the 300 s spacing, short of the 60-minute interval
  h.services.logSnapshots = false;
  h.form->TmrStatus->Fire();  // warm-up

  const long long before = g_allocations.load();
  for (auto _ : state) {
    h.form->TmrStatus->Fire();
  }
  const long long allocations = g_allocations.load() - before;
  state.counters["allocs_per_tick"] = benchmark::Counter(double(allocations) / double(state.iterations()));
  if (!h.services.workers.empty()) state.SkipWithError("the tick started a clean");
}
BENCHMARK(BM_StatusTick);

}  // namespace

BENCHMARK_MAIN();
