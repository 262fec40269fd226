/// The host's pixel iteration: calls a pixel function once for every pixel
/// of an area, on worker threads that take the rows in large chunks.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "host/PF_Host.h"

namespace quorvel::sim {

class IterateEngine {
public:
    /// `threads` 0 means every core.
    explicit IterateEngine(int threads)
        : threads_(threads > 0 ? threads : std::max(1, int(std::thread::hardware_concurrency()))) {}

    int threads() const { return threads_; }

    /// Rows a worker takes at a time: threads × kChunksPerThread chunks in
    /// all, so that a worker slowed by another program, or rows that cost
    /// more than others, leave the rest of the work to the others instead of
    /// holding up the frame.
    static constexpr A_long kChunksPerThread = 16;

    /// Calls fn(refcon, x, y, in, out) for each pixel of `area` (clipped to
    /// both worlds) with the src and dst pixels at the same place, each row
    /// left to right. Rows from `stop_row` on are skipped and `stop_code`
    /// returned, as when the user interrupts. A pixel function's non-zero
    /// result ends its row and its chunk, no worker starts another chunk, and
    /// the first such result is returned.
    template <typename Pixel, typename Fn>
    PF_Err Run(const PF_EffectWorld& src, const PF_EffectWorld& dst, PF_LRect area, void* refcon, Fn fn,
               A_long stop_row = INT32_MAX, PF_Err stop_code = PF_Err_NONE) const {
        area.left = std::max<A_long>(area.left, 0);
        area.top = std::max<A_long>(area.top, 0);
        area.right = std::min({area.right, dst.width, src.width});
        area.bottom = std::min({area.bottom, dst.height, src.height});
        const A_long last = std::min(area.bottom, stop_row);
        std::atomic<PF_Err> first_error{PF_Err_NONE};
        if (area.left < area.right && area.top < last) {
            const A_long height = last - area.top;
            const A_long workers_wanted = std::min<A_long>(threads_, height);
            const A_long chunk = std::max<A_long>(
                1, (height + workers_wanted * kChunksPerThread - 1) / (workers_wanted * kChunksPerThread));
            std::atomic<A_long> next_row{area.top};
            const Rows rows{&src, &dst, area.left, area.right};
            auto work = [&] {
                while (first_error.load(std::memory_order_relaxed) == PF_Err_NONE) {
                    const A_long begin = next_row.fetch_add(chunk, std::memory_order_relaxed);
                    if (begin >= last) return;
                    const A_long end = std::min(last, begin + chunk);
                    if (const PF_Err err = RunRows<Pixel>(rows, begin, end, refcon, fn)) {
                        PF_Err none = PF_Err_NONE;
                        first_error.compare_exchange_strong(none, err);
                        return;
                    }
                }
            };
            std::vector<std::jthread> workers;
            workers.reserve(std::size_t(workers_wanted - 1));
            for (A_long w = 1; w < workers_wanted; ++w) workers.emplace_back(work);
            work();
        }  // workers join here
        if (first_error.load() != PF_Err_NONE) return first_error.load();
        return last < area.bottom ? stop_code : PF_Err_NONE;
    }

private:
    /// The two worlds and the columns of the area.
    struct Rows {
        const PF_EffectWorld* src;
        const PF_EffectWorld* dst;
        A_long left;
        A_long right;
    };

    /// Rows [begin, end): a pointer per world walks each row, and moves on
    /// by the world's rowbytes (signed) from one row to the next. Everything
    /// the loop reads is a local: a pixel function may write anywhere, so
    /// a value read through a reference would be read again after every call.
    template <typename Pixel, typename Fn>
    static PF_Err RunRows(const Rows& rows, A_long begin, A_long end, void* const refcon, const Fn fn) {
        const A_long left = rows.left;
        const A_long right = rows.right;
        const std::intptr_t src_step = rows.src->rowbytes;
        const std::intptr_t dst_step = rows.dst->rowbytes;
        auto* src_row = reinterpret_cast<std::uint8_t*>(rows.src->data) + begin * src_step;
        auto* dst_row = reinterpret_cast<std::uint8_t*>(rows.dst->data) + begin * dst_step;
        for (A_long y = begin; y < end; ++y) {
            Pixel* in = reinterpret_cast<Pixel*>(src_row) + left;
            Pixel* out = reinterpret_cast<Pixel*>(dst_row) + left;
            for (A_long x = left; x < right; ++x, ++in, ++out) {
                if (const PF_Err err = fn(refcon, x, y, in, out)) [[unlikely]] {
                    return err;
                }
            }
            src_row += src_step;
            dst_row += dst_step;
        }
        return PF_Err_NONE;
    }

    int threads_;
};

}  // namespace quorvel::sim
