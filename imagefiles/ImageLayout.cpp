#include "imagefiles/ImageLayout.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "frames/HostError.h"
#include "imagefiles/SettingNames.h"

namespace quorvel::imagefiles {

namespace {

/// Coordinates within this bound keep every sum below in int.
constexpr std::int64_t kMaxCoordinate = std::int64_t(1) << 28;

int IndexOf(const std::vector<std::string>& channels, const std::string& name) {
    const auto it = std::find(channels.begin(), channels.end(), name);
    return it == channels.end() ? -1 : int(it - channels.begin());
}

/// The layer's channels, if the part has its red, green and blue.
std::optional<LayerPlan> FindLayer(const PartHeader& part, const std::string& layer) {
    const std::string prefix = layer.empty() ? "" : layer + ".";
    LayerPlan plan;
    plan.red = IndexOf(part.channels, prefix + "R");
    plan.green = IndexOf(part.channels, prefix + "G");
    plan.blue = IndexOf(part.channels, prefix + "B");
    if (plan.red < 0 || plan.green < 0 || plan.blue < 0) return std::nullopt;
    plan.alpha = IndexOf(part.channels, prefix + "A");
    plan.layer = layer;
    return plan;
}

/// The layers holding red, green and blue, by name; "" for the unnamed one.
std::vector<std::string> ColourLayers(const PartHeader& part) {
    std::vector<std::string> layers;
    for (const std::string& channel : part.channels) {
        if (channel.size() < 2 || !channel.ends_with(".R")) continue;
        const std::string layer = channel.substr(0, channel.size() - 2);
        // A name given twice is one layer.
        if (FindLayer(part, layer) && std::find(layers.begin(), layers.end(), layer) == layers.end()) {
            layers.push_back(layer);
        }
    }
    return layers;
}

std::string LayerList(const std::vector<std::string>& layers) {
    std::string list;
    for (const std::string& l : layers) list += (list.empty() ? "" : ", ") + l;
    return list;
}

/// A file of grey channels: one, or grey and alpha.
std::optional<LayerPlan> GreyLayer(const PartHeader& part) {
    const int n = int(part.channels.size());
    LayerPlan plan;
    const int y = IndexOf(part.channels, "Y");
    if (y >= 0 && n <= 2) {
        plan.red = plan.green = plan.blue = y;
        plan.alpha = n == 2 ? 1 - y : -1;
        return plan;
    }
    if (n == 1) return plan;
    if (n == 2) {
        // Grey and alpha, the usual order of two-channel files, unless the
        // file marks the first as alpha.
        const int alpha = part.alpha_channel == 0 ? 0 : 1;
        plan.red = plan.green = plan.blue = 1 - alpha;
        plan.alpha = alpha;
        return plan;
    }
    return std::nullopt;
}

/// The part's layer to render, or a sentence saying why there is none.
std::optional<LayerPlan> LayerOf(const PartHeader& part, const LayerChoice& choice, frames::Message& why) {
    if (choice.layer) {
        if (std::optional<LayerPlan> plan = FindLayer(part, *choice.layer)) return plan;
        const std::vector<std::string> layers = ColourLayers(part);
        why = "no layer '" + *choice.layer + "' (channels " + *choice.layer + ".R, .G and .B)";
        if (!layers.empty()) why += "; its layers with colour are " + LayerList(layers);
        return std::nullopt;
    }
    if (std::optional<LayerPlan> plan = FindLayer(part, "")) return plan;
    const std::vector<std::string> layers = ColourLayers(part);
    if (layers.size() == 1) return FindLayer(part, layers.front());
    if (layers.size() > 1) {
        why = "layers " + LayerList(layers) + " all hold colour: choose one with " + setting::layer + " NAME";
        return std::nullopt;
    }
    if (std::optional<LayerPlan> plan = GreyLayer(part)) return plan;
    std::string list;
    for (std::size_t c = 0; c < part.channels.size() && c < 24; ++c) list += (c ? ", " : "") + part.channels[c];
    if (part.channels.size() > 24) list += ", ...";
    why = "no red, green and blue channels (it has " + std::to_string(part.channels.size()) + ": " + list + ")";
    return std::nullopt;
}

std::string PartText(const std::vector<PartHeader>& parts, int index) {
    const PartHeader& part = parts[std::size_t(index)];
    std::string text = std::to_string(index);
    if (!part.name.empty()) text += " '" + part.name + "'";
    if (!part.view.empty() && part.view != part.name) text += " (view " + part.view + ")";
    return text;
}

void CheckWindow(const std::string& file, const char* what, const Window& w) {
    if (w.width < 1 || w.height < 1 || w.width > kMaxSide || w.height > kMaxSide || w.x < -kMaxCoordinate ||
        w.x > kMaxCoordinate || w.y < -kMaxCoordinate || w.y > kMaxCoordinate) {
        throw frames::HostError(file + " has an unsupported " + what + " " + std::to_string(w.width) + "x" +
                                std::to_string(w.height) + " at " + std::to_string(w.x) + "," + std::to_string(w.y));
    }
}

int ChosenPart(const std::string& file, const std::vector<PartHeader>& parts, const LayerChoice& choice) {
    const int count = int(parts.size());
    if (!choice.part) return -1;
    const std::string& asked = *choice.part;
    int index = -1;
    const auto [end, ec] = std::from_chars(asked.data(), asked.data() + asked.size(), index);
    if (ec == std::errc() && end == asked.data() + asked.size()) {
        if (index >= 0 && index < count) return index;
    } else {
        for (int p = 0; p < count; ++p) {
            if (parts[std::size_t(p)].name == asked) return p;
        }
    }
    std::string list;
    for (int p = 0; p < count && p < 16; ++p) list += (p ? ", " : "") + PartText(parts, p);
    if (count > 16) list += ", ...";
    throw frames::HostError(setting::part + " " + asked + ": " + file + " has no such part (its " +
                                std::to_string(count) + (count == 1 ? " part is " : " parts are ") + list + ")",
                            frames::ErrorKind::setting);
}

}  // namespace

Window Union(const Window& a, const Window& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return Window{x0, y0, x1 - x0, y1 - y0};
}

std::string WindowText(const Window& w) {
    return "(" + std::to_string(w.x) + "," + std::to_string(w.y) + ")-(" + std::to_string(w.x + w.width - 1) + "," +
           std::to_string(w.y + w.height - 1) + ")";
}

LayerPlan PlanLayer(const std::string& file, const std::vector<PartHeader>& parts, const LayerChoice& choice) {
    if (parts.empty()) throw frames::HostError(file + " holds no image");
    if (parts.size() > std::size_t(kMaxParts)) {
        throw frames::HostError(file + " holds " + std::to_string(parts.size()) + " parts; the tool reads at most " +
                                std::to_string(kMaxParts));
    }
    for (std::size_t p = 0; p < parts.size(); ++p) {
        if (parts[p].channels.size() > std::size_t(kMaxChannels)) {
            throw frames::HostError(file + " part " + std::to_string(p) + " has " +
                                    std::to_string(parts[p].channels.size()) + " channels; the tool reads at most " +
                                    std::to_string(kMaxChannels));
        }
    }

    int part = ChosenPart(file, parts, choice);
    std::optional<LayerPlan> plan;
    frames::Message why;
    if (part < 0 && parts.size() == 1) part = 0;
    if (part >= 0) {
        const PartHeader& header = parts[std::size_t(part)];
        if (header.deep) throw frames::HostError(file + " holds deep data, which the tool does not render");
        plan = LayerOf(header, choice, why);
        if (!plan)
            throw frames::HostError(file + (parts.size() > 1 ? " part " + PartText(parts, part) : "") + " has " + why);
    } else {
        // The parts that hold the layer asked for, or colour at all.
        std::vector<int> candidates;
        for (int p = 0; p < int(parts.size()); ++p) {
            if (parts[std::size_t(p)].deep) continue;
            frames::Message ignored;
            if (std::optional<LayerPlan> found = LayerOf(parts[std::size_t(p)], choice, ignored)) {
                if (candidates.empty()) plan = found;
                candidates.push_back(p);
            }
        }
        if (candidates.empty()) {
            throw frames::HostError(
                file + " holds " + std::to_string(parts.size()) + " parts and none has " +
                (choice.layer ? "the layer '" + *choice.layer + "'" : std::string("red, green and blue channels")));
        }
        if (candidates.size() > 1) {
            std::string list;
            for (std::size_t i = 0; i < candidates.size() && i < 16; ++i)
                list += (i ? ", " : "") + PartText(parts, candidates[i]);
            if (candidates.size() > 16) list += ", ...";
            throw frames::HostError(file + " holds " + std::to_string(candidates.size()) + " parts with colour: " +
                                    list + "; choose one with " + setting::part + " NAME|INDEX");
        }
        part = candidates.front();
    }

    const PartHeader& header = parts[std::size_t(part)];
    if (header.volume_depth > 1) throw frames::HostError(file + " is a volume, which the tool does not render");
    CheckWindow(file, "data window", header.data);
    plan->part = part;
    plan->data = header.data;
    plan->display = header.display.empty() ? header.data : header.display;
    CheckWindow(file, "display window", plan->display);
    plan->frame = Union(plan->data, plan->display);
    if (plan->frame.width > kMaxSide || plan->frame.height > kMaxSide) {
        throw frames::HostError(file + " has data and display windows " + WindowText(plan->data) + " and " +
                                WindowText(plan->display) + " that together are wider than " +
                                std::to_string(kMaxSide) + " pixels");
    }
    for (std::size_t p = 0; p < parts.size(); ++p) {
        // Every part is copied to the output, so every part must be one the tool can hold.
        CheckWindow(file + " part " + PartText(parts, int(p)), "data window", parts[p].data);
        if (parts[p].deep) {
            throw frames::HostError(file + " part " + PartText(parts, int(p)) +
                                    " holds deep data, which the tool cannot write back beside the render");
        }
    }
    if (header.mip_levels > 1) {
        plan->notes.push_back(file + " holds " + std::to_string(header.mip_levels) +
                              " mip levels; the full-size level is rendered and the lower levels are not kept");
    }
    return *plan;
}

}  // namespace quorvel::imagefiles
