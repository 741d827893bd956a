#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/bus.h"

namespace {

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void OnValue(int value) = 0;
};

class CountingSink : public Sink {
 public:
  // Kept out of line so that the direct call stays a real call.
  __attribute__((noinline)) void OnValue(int value) override { total_ += value; }
  int total() const { return total_; }

 private:
  int total_ = 0;
};

void BM_DirectVirtualCall(benchmark::State& state) {
  auto sink = std::make_unique<CountingSink>();
  Sink* target = sink.get();
  benchmark::DoNotOptimize(target);
  for (auto _ : state) {
    target->OnValue(1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  benchmark::DoNotOptimize(sink->total());
}
BENCHMARK(BM_DirectVirtualCall);

// One topic, state.range(0) listeners; every call is delivered to all of them.
void BM_BusCall(benchmark::State& state) {
  CxBusCast bus;
  CxSubscriptionList list;
  std::vector<CountingSink> sinks(static_cast<size_t>(state.range(0)));
  const std::string topic = "event/id/ui/bench/value/s";
  for (CountingSink& sink : sinks) CxBus::Listen(list, bus, topic, &CountingSink::OnValue, &sink);
  for (auto _ : state) CxBus::Call(bus, topic, 1);
  state.SetItemsProcessed(state.iterations());
  benchmark::DoNotOptimize(sinks.front().total());
}
BENCHMARK(BM_BusCall)->Arg(1)->Arg(8);

}  // namespace
