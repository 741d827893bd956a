// Runs a handful of tasks on threads of their own and waits for all of them.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace zqfd {

// Starts one thread for a task; throws std::system_error when no thread can be started.
using ThreadStarter = std::function<std::thread(std::function<void()>)>;

// Runs every task on a thread of its own, started by |start| (a plain std::thread when empty).
// A task whose thread cannot be started runs on the calling thread instead. Returns when every
// task has finished. Tasks must not throw.
void RunTasksOnThreads(const std::vector<std::function<void()>>& tasks,
                       const ThreadStarter& start = {});

// A range of a buffer handed to one worker.
struct WorkRange {
  size_t offset;
  size_t count;
  bool operator==(const WorkRange& o) const { return offset == o.offset && count == o.count; }
};

// Block mode: |blocks| whole blocks before the final one. Above 8 blocks, eight ranges of
// blocks / 8 blocks and, when blocks is not a multiple of 8, a ninth with the rest; otherwise one
// range. Offsets and counts are in blocks.
std::vector<WorkRange> BlockWorkRanges(size_t blocks);

// Plain mode: a payload of |bytes| bytes. Below 2049 bytes one range; otherwise four ranges of
// (bytes / 2048) * 512 bytes and, when bytes is not a multiple of 2048, a fifth with the rest.
// Every range starts at a multiple of 32. Offsets and counts are in bytes.
std::vector<WorkRange> PlainWorkRanges(size_t bytes);

}  // namespace zqfd
