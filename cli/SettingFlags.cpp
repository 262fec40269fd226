#include "cli/SettingFlags.h"

#include <algorithm>
#include <iostream>

#include "imagefiles/SettingNames.h"
#include "shots/SettingNames.h"
#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

struct Spelling {
    std::string_view setting;
    std::string_view flag;
};

namespace shot = shots::setting;
namespace image = imagefiles::setting;

/// Every setting the libraries mention, by the option that gives it.
constexpr Spelling kFlags[] = {
    {shot::frames.name, "--frames"},
    {shot::input.name, "--in"},
    {shot::output.name, "--out"},
    {shot::jobs.name, "--jobs"},
    {shot::rate.name, "--fps"},
    {shot::contact_sheet.name, "--contact-sheet"},
    {shot::contact_every.name, "--contact-every"},
    {shot::contact_width.name, "--contact-width"},
    {shot::app.name, "--host"},
    {shot::layout.name, "--depth"},
    {shot::pixel_aspect_ratio.name, "--par"},
    {shot::row_padding.name, "--row-padding"},
    {shot::keys.name, "--keys"},
    {shot::key.name, "--key"},
    {shot::keys_start.name, "--keys-start"},
    {shot::strict_timing.name, "--strict-timing"},
    {shot::track.name, "--track"},
    {shot::track_block.name, "--track-block"},
    {shot::track_layer.name, "--track-layer"},
    {shot::track_offset.name, "--track-offset"},
    {shot::track_reference.name, "--track-reference"},
    {image::layer.name, "--layer"},
    {image::part.name, "--part"},
    {image::premultiplied.name, "--alpha"},
    {image::channel_type.name, "--out-format"},
    {image::compression.name, "--compression"},
    {image::layout_ae16.name, "--host ae"},
};

constexpr bool Spells(std::string_view setting) {
    return std::any_of(std::begin(kFlags), std::end(kFlags),
                       [setting](const Spelling& s) { return s.setting == setting; });
}

template <std::size_t N>
constexpr bool SpellsAll(const frames::Setting (&settings)[N]) {
    return std::all_of(std::begin(settings), std::end(settings), [](frames::Setting s) { return Spells(s.name); });
}

// Every setting a library declares has its option: a message never prints
// a setting's own name to the tool's user.
static_assert(SpellsAll(shot::all), "a setting of shots/SettingNames.h has no option in kFlags");
static_assert(SpellsAll(image::all), "a setting of imagefiles/SettingNames.h has no option in kFlags");

}  // namespace

std::string FlagOf(std::string_view setting) {
    for (const Spelling& s : kFlags) {
        if (s.setting == setting) return std::string(s.flag);
    }
    // Not a setting of the libraries' own: an option a value was read for,
    // or a control, which the caller named by its option's name.
    return "--" + std::string(setting);
}

std::string Spelled(const frames::Message& message) { return message.Text(FlagOf); }

void Say(const frames::Message& note) { std::cerr << "quorvel-host: " << Spelled(note) << "\n"; }

void SayReadingNotes(const imagefiles::ImageFormat* format) {
    if (format == nullptr) return;
    for (const frames::Message& note : format->notes) Say("note: " + note.WithText(shots::Printable));
}

int StatusOf(frames::ErrorKind kind) {
    switch (kind) {
        case frames::ErrorKind::module:
            return 1;
        case frames::ErrorKind::input:
        case frames::ErrorKind::setting:
        case frames::ErrorKind::output:
            return 2;
    }
    return 2;
}

}  // namespace quorvel::cli
