// Runs fn(0) ... fn(count − 1) on up to `threads` threads. Each call must
// write only its own results, so the outcome does not depend on the threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace orvcompile {

template <typename Fn>
void ParallelFor(int count, int threads, const Fn& fn) {
    std::atomic<int> next{0};
    auto work = [&] {
        for (int i = next++; i < count; i = next++) fn(i);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::min(threads, count); ++t) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
}

}  // namespace orvcompile
