#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

/// @file
/// Work spread over threads for the frame optimiser and the clip palette:
/// each index is handled by exactly one call, so results do not depend on
/// the number of threads.

/// The cores the machine has, at least 1.
inline int coreCount() { return std::max(1, int(std::thread::hardware_concurrency())); }

/// Calls `work(i)` for every i in [0, count) on up to @p threads threads,
/// the caller's among them; the first exception a call raises is raised
/// again once all have stopped.
inline void runOnThreads(int count, int threads, const std::function<void(int)>& work) {
    std::atomic<int> nextIndex{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto worker = [&] {
        for (int i; (i = nextIndex.fetch_add(1)) < count;) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard lock(failureLock);
                if (!failure) failure = std::current_exception();
                nextIndex = count;
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::min(threads, count); ++t) helpers.emplace_back(worker);
    worker();
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
}
