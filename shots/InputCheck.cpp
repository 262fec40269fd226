#include "shots/InputCheck.h"

#include <string>

#include "frames/HostError.h"
#include "imagefiles/Npy.h"
#include "shots/FrameFiles.h"
#include "shots/ImageFrames.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

namespace fs = std::filesystem;

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

std::string ChannelsText(const imagefiles::ImageFormat& f) {
    std::string text;
    for (std::size_t i = 0; i < f.channel_names.size(); ++i) {
        text += (i ? "," : "") + f.channel_names[i];
        if (i < f.channel_types.size()) text += " " + std::string(imagefiles::ChannelTypeName(f.channel_types[i]));
    }
    return text;
}

/// A .npy header read up to the frame's shape: its pixels are not read.
struct NpyShape {
    frames::PixelLayout layout = frames::PixelLayout::ARGB8;
    int width = 0, height = 0;
};
struct ShapeSeen {};

NpyShape ReadNpyShape(const fs::path& path, bool premiere) {
    NpyShape shape;
    try {
        imagefiles::ReadNpy(path, premiere, [&shape](frames::PixelLayout layout, int width, int height) {
            shape = {layout, width, height};
            throw ShapeSeen{};
        });
    } catch (const ShapeSeen&) {
    }
    return shape;
}

/// How the frame at `path` differs from the first, or empty when it does not.
std::string Difference(const fs::path& path, const frames::World& first, const imagefiles::ImageFormat* first_format,
                       const RenderSettings& settings) {
    if (IsNpy(path)) {
        const NpyShape shape = ReadNpyShape(path, settings.app == sim::HostApp::Premiere);
        if (shape.width != first.width() || shape.height != first.height()) {
            return "is " + SizeText(shape.width, shape.height) + ", not " + SizeText(first.width(), first.height());
        }
        if (shape.layout != first.layout()) {
            return "is " + std::string(frames::LayoutName(shape.layout)) + ", not " +
                   std::string(frames::LayoutName(first.layout()));
        }
        return "";
    }
    if (first_format == nullptr) return "is an image, the first frame a .npy array";
    const std::unique_ptr<imagefiles::ImageSource> image = OpenImageFrame(path, settings.image);
    const imagefiles::ImageFormat& f = image->format();
    if (f.layer_width != first_format->layer_width || f.layer_height != first_format->layer_height) {
        return "is " + SizeText(f.layer_width, f.layer_height) + ", not " +
               SizeText(first_format->layer_width, first_format->layer_height);
    }
    if (f.channel_names != first_format->channel_names || f.channel_types != first_format->channel_types ||
        f.had_alpha != first_format->had_alpha || f.grey != first_format->grey) {
        return "holds " + ChannelsText(f) + (f.had_alpha ? "" : " (no alpha)") + ", not " +
               ChannelsText(*first_format) + (first_format->had_alpha ? "" : " (no alpha)");
    }
    return "";
}

}  // namespace

void CheckInputFrames(const FramePattern& input, const std::vector<int>& frames, const frames::World& first,
                      const imagefiles::ImageFormat* first_format, const RenderSettings& settings) {
    std::vector<int> missing;
    std::vector<frames::Message> faults;
    int unlike = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const fs::path path = input.PathFor(frames[i]);
        frames::Message fault;
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (!fs::exists(status)) {
            missing.push_back(frames[i]);
            fault = "missing";
        } else if (!fs::is_regular_file(status)) {
            continue;  // a pipe's header is its frame's first bytes: read when the frame is
        } else {
            try {
                fault = Difference(path, first, first_format, settings);
            } catch (const ShotError& e) {
                fault = e.message();
            } catch (const frames::HostError& e) {
                fault = e.message();
            } catch (const std::exception& e) {
                fault = e.what();
            }
            if (fault.empty()) continue;
            ++unlike;
        }
        if (int(faults.size()) < kListedInputFaults) faults.push_back(std::to_string(frames[i]) + " " + fault);
    }
    if (faults.empty()) return;
    std::string counts;
    if (!missing.empty()) counts = std::to_string(missing.size()) + " missing (" + FrameRangesText(missing) + ")";
    if (unlike > 0) {
        counts += (counts.empty() ? "" : " and ") + std::to_string(unlike) + " unlike frame " +
                  std::to_string(frames.front());
    }
    frames::Message list;
    for (const frames::Message& fault : faults) list += (list.empty() ? "" : "; ") + fault;
    const std::size_t more = missing.size() + std::size_t(unlike) - faults.size();
    if (more > 0) list += "; and " + std::to_string(more) + " more";
    throw ShotError(Printable(input.text()) + ": of " + std::to_string(frames.size()) + " input frames, " + counts +
                    ": " + list + "; nothing was rendered");
}

}  // namespace quorvel::shots
