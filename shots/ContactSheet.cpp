#include "shots/ContactSheet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "frames/HostError.h"
#include "imagefiles/AtomicFile.h"
#include "imagefiles/ImageFile.h"
#include "imagefiles/PictureLibrary.h"
#include "shots/OverlayPicture.h"
#include "shots/SettingNames.h"
#include "shots/ShotError.h"

namespace quorvel::shots {

namespace {

constexpr int kGap = 6;
constexpr int kLabelHeight = 20;
/// The largest picture side the image writers and Cairo both take comfortably.
constexpr int kMaxSide = 16384;

}  // namespace

ContactSheet::ContactSheet(const ContactSheetSettings& settings, const std::vector<int>& frames, int layer_width,
                           int layer_height)
    : settings_(settings), frames_(frames) {
    const int n = int(frames.size());
    every_ = settings.every > 0 ? settings.every
                                : std::max(1, (n + ContactSheetSettings::kDefaultThumbnails - 1) /
                                                  ContactSheetSettings::kDefaultThumbnails);
    count_ = (n + every_ - 1) / every_;
    columns_ = std::clamp(settings.columns, 1, std::max(1, count_));
    zoom_ = double(settings.thumbnail_width) / double(std::max(layer_width, 1));
    thumb_width_ = std::max(1, int(std::ceil(layer_width * zoom_)));
    thumb_height_ = std::max(1, int(std::ceil(layer_height * zoom_)));
    const int rows = (count_ + columns_ - 1) / columns_;
    const long long width = kGap + (long long)columns_ * (thumb_width_ + kGap);
    const long long height = kGap + (long long)rows * (thumb_height_ + kLabelHeight + kGap);
    if (thumb_height_ > kMaxSide || width > kMaxSide || height > kMaxSide) {
        throw ShotError(setting::contact_sheet + ": " + std::to_string(count_) + " thumbnails make a sheet of " +
                            std::to_string(width) + "x" + std::to_string(height) + " pixels, more than " +
                            std::to_string(kMaxSide) + " a side; raise " + setting::contact_every + " or lower " +
                            setting::contact_width,
                        frames::ErrorKind::setting);
    }
}

void ContactSheet::OnFrame(std::size_t index, Session& instance, sim::ParamSet& params, frames::World& frame) {
    frames::View view;
    view.zoom = zoom_;
    frames::World thumbnail = DrawOverlayWindow(instance, params, frame, view, thumb_width_, thumb_height_);
    std::lock_guard lock(mutex_);
    thumbnails_.insert_or_assign(index, std::move(thumbnail));
}

bool ContactSheet::Complete() const {
    std::lock_guard lock(mutex_);
    return int(thumbnails_.size()) == count_;
}

void ContactSheet::Write() const {
    std::lock_guard lock(mutex_);
    const int rows = (count_ + columns_ - 1) / columns_;
    const int width = kGap + columns_ * (thumb_width_ + kGap);
    const int height = kGap + rows * (thumb_height_ + kLabelHeight + kGap);
    std::vector<imagefiles::SheetCell> cells;
    for (const auto& [index, thumbnail] : thumbnails_) {
        const int k = int(index / std::size_t(every_));
        imagefiles::SheetCell cell;
        cell.picture = &thumbnail;
        cell.x = kGap + (k % columns_) * (thumb_width_ + kGap);
        cell.y = kGap + (k / columns_) * (thumb_height_ + kLabelHeight + kGap);
        cell.label = "frame " + std::to_string(frames_[index]);
        cell.label_x = cell.x + 2;
        cell.label_y = cell.y + thumb_height_ + kLabelHeight - 5;
        cells.push_back(std::move(cell));
    }
    const frames::World sheet = imagefiles::Pictures().DrawSheet(width, height, cells);
    imagefiles::WriteAtomically(settings_.path,
                                [&](const std::filesystem::path& temp) { imagefiles::WriteImage(temp, sheet); });
}

}  // namespace quorvel::shots
