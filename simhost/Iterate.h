/// The host's pixel iteration: calls a pixel function once for every pixel
/// of an area, rows split into one contiguous band per worker thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "PF_Host.h"

namespace quorvel::sim {

class IterateEngine {
public:
    /// `threads` 0 means every core.
    explicit IterateEngine(int threads)
        : threads_(threads > 0 ? threads : std::max(1, int(std::thread::hardware_concurrency()))) {}

    int threads() const { return threads_; }

    /// Calls fn(refcon, x, y, in, out) for each pixel of `area` (clipped to
    /// both worlds) with the src and dst pixels at the same place. Rows from
    /// `stop_row` on are skipped and `stop_code` returned, as when the user
    /// interrupts; a pixel function's non-zero result stops its band and is
    /// returned.
    template <typename Pixel, typename Fn>
    PF_Err Run(const PF_EffectWorld& src, const PF_EffectWorld& dst, PF_LRect area, void* refcon, Fn fn,
               A_long stop_row = INT32_MAX, PF_Err stop_code = PF_Err_NONE) const {
        area.left = std::max<A_long>(area.left, 0);
        area.top = std::max<A_long>(area.top, 0);
        area.right = std::min({area.right, dst.width, src.width});
        area.bottom = std::min({area.bottom, dst.height, src.height});
        const A_long last = std::min(area.bottom, stop_row);
        std::atomic<PF_Err> first_error{PF_Err_NONE};
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
        if (area.left < area.right && area.top < last) {
            const A_long height = last - area.top;
            const A_long bands = std::min<A_long>(threads_, height);
            std::vector<std::jthread> workers;
            workers.reserve(std::size_t(bands - 1));
            // Band b covers rows [top + b*height/bands, top + (b+1)*height/bands).
            for (A_long b = 1; b < bands; ++b) {
                const A_long begin = area.top + A_long(std::int64_t(height) * b / bands);
                const A_long end = area.top + A_long(std::int64_t(height) * (b + 1) / bands);
                workers.emplace_back([&rows, begin, end] { rows(begin, end); });
            }
            rows(area.top, area.top + A_long(std::int64_t(height) / bands));
        }  // workers join here
        if (first_error.load() != PF_Err_NONE) return first_error.load();
        return last < area.bottom ? stop_code : PF_Err_NONE;
    }

private:
    int threads_;
};

}  // namespace quorvel::sim
