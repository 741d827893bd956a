#include "worker_tasks.h"

#include <system_error>

namespace zqfd {

void RunTasksOnThreads(const std::vector<std::function<void()>>& tasks,
                       const ThreadStarter& start) {
  std::vector<std::thread> threads;
  threads.reserve(tasks.size());
  std::vector<const std::function<void()>*> on_caller;
  for (const auto& task : tasks) {
    try {
      threads.push_back(start ? start(task) : std::thread(task));
    } catch (const std::system_error&) {
      on_caller.push_back(&task);
    }
  }
  for (const auto* task : on_caller) (*task)();
  for (auto& thread : threads) {
    if (thread.joinable()) thread.join();
  }
}

std::vector<WorkRange> BlockWorkRanges(size_t blocks) {
  if (blocks <= 8) return {{0, blocks}};
  const size_t share = blocks / 8;
  std::vector<WorkRange> ranges;
  for (size_t k = 0; k < 8; ++k) ranges.push_back({k * share, share});
  if (blocks % 8 != 0) ranges.push_back({8 * share, blocks % 8});
  return ranges;
}

std::vector<WorkRange> PlainWorkRanges(size_t bytes) {
  if (bytes < 2049) return {{0, bytes}};
  const size_t share = (bytes / 2048) * 512;
  std::vector<WorkRange> ranges;
  for (size_t k = 0; k < 4; ++k) ranges.push_back({k * share, share});
  if (bytes % 2048 != 0) ranges.push_back({4 * share, bytes - 4 * share});
  return ranges;
}

}  // namespace zqfd
