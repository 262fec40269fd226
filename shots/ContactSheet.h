/// A contact sheet: thumbnails of every n-th frame of a render, each the
/// viewer window with the module's on-screen controls drawn over the
/// rendered frame, in a grid labelled with frame numbers.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "shots/SequenceRender.h"

namespace quorvel::shots {

struct ContactSheetSettings {
    std::filesystem::path path;
    int every = 0;  ///< 0: as many as make at most kDefaultThumbnails thumbnails
    int columns = 6;
    int thumbnail_width = 320;

    static constexpr int kDefaultThumbnails = 24;
};

class ContactSheet : public FrameObserver {
public:
    /// Throws ShotError when the sheet would be too large to write.
    ContactSheet(const ContactSheetSettings& settings, const std::vector<int>& frames, int layer_width,
                 int layer_height);

    bool Wants(std::size_t index) const override { return index % std::size_t(every_) == 0; }
    void OnFrame(std::size_t index, Session& instance, sim::ParamSet& params, frames::World& frame) override;

    int every() const { return every_; }
    /// Whether every wanted frame has its thumbnail.
    bool Complete() const;
    /// Writes the sheet as a PNG, atomically.
    void Write() const;

private:
    ContactSheetSettings settings_;
    std::vector<int> frames_;
    int every_;
    int count_;
    int columns_;
    double zoom_;
    int thumb_width_ = 0;
    int thumb_height_ = 0;
    mutable std::mutex mutex_;
    std::map<std::size_t, frames::World> thumbnails_;
};

}  // namespace quorvel::shots
