#pragma once

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

// Runs fn(begin, end) over [0, rows) in bands, one per core, when the work is
// large enough to pay for the threads; otherwise on the calling thread. Rows
// must be independent. Every band has ended when this returns.
template <class F> void ParallelRows(int rows, int64_t workPerRow, F fn)
{
    constexpr int64_t kWorkPerThread = int64_t(1) << 20;
    if (rows <= 0)
        return;
    const int64_t total = std::max<int64_t>(1, workPerRow) * rows;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int bands = static_cast<int>(std::min<int64_t>({cores, rows, total / kWorkPerThread + 1}));
    if (bands <= 1) {
        fn(0, rows);
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(bands - 1));
    const int per = rows / bands, extra = rows % bands;
    int begin = 0;
    for (int b = 0; b < bands; ++b) {
        const int end = begin + per + (b < extra ? 1 : 0);
        if (b == bands - 1)
            fn(begin, end); // the calling thread takes the last band
        else
            workers.emplace_back([=, &fn] { fn(begin, end); });
        begin = end;
    }
    for (std::thread& t : workers)
        t.join();
}
