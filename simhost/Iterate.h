/// The host's pixel iteration: calls a pixel function once for every pixel
/// of an area, rows spread over worker threads in large contiguous chunks.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>

#include "PF_Host.h"

namespace quorvel::sim {

class IterateEngine {
public:
    /// `threads` 0 means every core.
    explicit IterateEngine(int threads)
        : threads_(threads > 0 ? threads : tbb::this_task_arena::max_concurrency()),
          arena_(std::make_unique<tbb::task_arena>(threads_)) {}

    int threads() const { return threads_; }

    /// Calls fn(refcon, x, y, in, out) for each pixel of `area` (clipped to
    /// both worlds) with the src and dst pixels at the same place. Rows from
    /// `stop_row` on are skipped and `stop_code` returned, as when the user
    /// interrupts; a pixel function's non-zero result stops its chunk.
    template <typename Pixel, typename Fn>
    PF_Err Run(const PF_EffectWorld& src, const PF_EffectWorld& dst, PF_LRect area, void* refcon, Fn fn,
               A_long stop_row = INT32_MAX, PF_Err stop_code = PF_Err_NONE) {
        area.left = std::max<A_long>(area.left, 0);
        area.top = std::max<A_long>(area.top, 0);
        area.right = std::min({area.right, dst.width, src.width});
        area.bottom = std::min({area.bottom, dst.height, src.height});
        const A_long last = std::min(area.bottom, stop_row);
        std::atomic<PF_Err> first_error{PF_Err_NONE};
        if (area.left < area.right && area.top < last) {
            auto rows = [&](A_long begin, A_long end) {
                auto* src_row = static_cast<std::uint8_t*>(src.data) + std::intptr_t(begin) * src.rowbytes;
                auto* dst_row = static_cast<std::uint8_t*>(dst.data) + std::intptr_t(begin) * dst.rowbytes;
                for (A_long y = begin; y < end; ++y) {
                    Pixel* in = reinterpret_cast<Pixel*>(src_row) + area.left;
                    Pixel* out = reinterpret_cast<Pixel*>(dst_row) + area.left;
                    for (A_long x = area.left; x < area.right; ++x, ++in, ++out) {
                        if (const PF_Err err = fn(refcon, x, y, in, out)) {
                            PF_Err none = PF_Err_NONE;
                            first_error.compare_exchange_strong(none, err);
                            return;
                        }
                    }
                    src_row += src.rowbytes;
                    dst_row += dst.rowbytes;
                }
            };
            if (threads_ == 1 || last - area.top < 2) {
                rows(area.top, last);
            } else {
                arena_->execute([&] {
                    tbb::parallel_for(
                        tbb::blocked_range<A_long>(area.top, last),
                        [&](const tbb::blocked_range<A_long>& r) { rows(r.begin(), r.end()); },
                        tbb::static_partitioner());
                });
            }
        }
        if (first_error.load() != PF_Err_NONE) return first_error.load();
        return last < area.bottom ? stop_code : PF_Err_NONE;
    }

private:
    int threads_;
    std::unique_ptr<tbb::task_arena> arena_;
};

}  // namespace quorvel::sim
