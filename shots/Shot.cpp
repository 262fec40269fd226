#include "shots/Shot.h"

#include <algorithm>
#include <filesystem>
#include <thread>

#include "shots/FrameFiles.h"
#include "shots/FrameMemory.h"
#include "shots/InputCheck.h"
#include "shots/Interrupt.h"
#include "shots/PixelAspect.h"
#include "shots/SettingNames.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

int HardwareThreads() { return std::max(1, int(std::thread::hardware_concurrency())); }

}  // namespace

Shot::Shot(ShotSettings settings, const std::function<Animation(const FrameRate&, const KeyLanding&)>& read_animation,
           frames::NoteSink note)
    : settings_(std::move(settings)) {
    const ShotSettings& s = settings_;
    plan_.frames = s.frames;
    if (!s.output && !s.dry_run)
        throw ShotError("render needs " + setting::output + " OUTPUT", frames::ErrorKind::setting);
    if (s.output) {
        plan_.output = FramePattern("out", *s.output);
        if (!plan_.output.numbered() && plan_.frames.size() > 1) {
            throw ShotError(setting::output + " '" + *s.output +
                                "' has no frame number field (such as %04d or ####) to hold " +
                                std::to_string(plan_.frames.size()) + " frames",
                            frames::ErrorKind::setting);
        }
    }
    if (s.input) {
        FramePattern pattern("in", *s.input);
        if (pattern.numbered()) plan_.input = pattern;
    }
    plan_.rate = s.rate;
    for (int frame : {plan_.frames.front(), plan_.frames.back()}) plan_.rate.TimeOf(frame);
    jobs_ = std::min(s.jobs.value_or(HardwareThreads()), int(plan_.frames.size()));
    plan_.skip_existing = s.skip_existing;
    plan_.settings = s.render;
    plan_.note = std::move(note);

    animation_ = read_animation(plan_.rate, Landing());
    if (!s.dry_run) {
        const std::filesystem::path first_output = plan_.output.PathFor(plan_.frames.front());
        CheckOutputPath(first_output);
        if (s.contact_sheet) {
            // Checked with the frames' outputs, not when the last frame is
            // done: an array is no picture, and its refusal would come after
            // the whole render, naming the sheet's temporary file.
            if (IsNpy(s.contact_sheet->path)) {
                throw ShotError(frames::Message(setting::contact_sheet) + " " + s.contact_sheet->path.string() +
                                    ": a contact sheet is a picture: name an image file, such as " +
                                    std::filesystem::path(s.contact_sheet->path).replace_extension(".png").string(),
                                frames::ErrorKind::setting);
            }
            CheckOutputPath(s.contact_sheet->path);
        }
        plan_.out_options = OutputOptionsFor(s.out_options, first_output);
    }

    // The first frame's input decides the layer's size and, for .npy
    // files, the depth of the whole shot.
    std::optional<std::filesystem::path> first_path;
    if (s.input)
        first_path = plan_.input ? plan_.input->PathFor(plan_.frames.front()) : std::filesystem::path(*s.input);
    if (plan_.input && !std::filesystem::exists(*first_path)) {
        // Numbers padded otherwise than the pattern says are the likeliest slip.
        if (const auto other = plan_.input->OtherPadding()) {
            throw ShotError("no such input file: " + Printable(first_path->string()) + " (" + Printable(other->first) +
                            " is there: " + setting::input + " " + Printable(other->second) + " names it)");
        }
    }
    first_.emplace(ReadInputFrame(first_path, plan_.settings, {}, &first_format_));
    // The first frame speaks for the shot, as it does for its size.
    if (first_format_ && plan_.note) {
        for (const frames::Message& read : first_format_->notes) plan_.note("note: " + read.WithText(Printable));
    }
    const std::optional<frames::Message> aspect = SettlePixelAspect(
        plan_.settings, first_format_ ? &*first_format_ : nullptr, first_path ? first_path->string() : "", &animation_);
    if (aspect && plan_.note) plan_.note(*aspect);
    const LayerPlace place = LayerPlaceOf(*first_, first_format_ ? &*first_format_ : nullptr);
    plan_.layer_width = place.width;
    plan_.layer_height = place.height;
    if (!plan_.input) {
        plan_.still = &*first_;  // read once, shared: the module only reads its input
        if (first_format_) plan_.still_format = &*first_format_;
    }
    if (plan_.input && s.output && !s.dry_run) {
        std::error_code ec;
        if (std::filesystem::weakly_canonical(*first_path, ec) ==
            std::filesystem::weakly_canonical(plan_.output.PathFor(plan_.frames.front()), ec)) {
            throw ShotError(setting::output + " names the input files: the render would replace its own input",
                            frames::ErrorKind::setting);
        }
    }

    // A fault of the input is found before any frame is written.
    if (plan_.input && !s.dry_run) {
        CheckInputFrames(*plan_.input, plan_.frames, *first_, first_format_ ? &*first_format_ : nullptr,
                         plan_.settings);
    }

    // Frames share the cores: each instance's pixel iteration gets its share.
    if (plan_.settings.threads == 0) plan_.settings.threads = std::max(1, HardwareThreads() / jobs_);
    plan_.in_flight = 2 * jobs_;
    // Each frame in flight holds its input and its output (a still is
    // shared, and read already).
    if (!s.dry_run) {
        CheckFramesFit(plan_.settings.layout, first_->width(), first_->height(), 0,
                       plan_.input ? 2 * plan_.in_flight : plan_.in_flight,
                       "the " + std::to_string(plan_.in_flight) + " frames in flight of " + setting::jobs + " " +
                           std::to_string(jobs_) + " (use fewer jobs)",
                       first_format_ && plan_.input ? first_format_->stored_bytes : 0);
    }
}

Shot::~Shot() = default;

KeyLanding Shot::Landing() const {
    if (plan_.input) {
        if (const std::optional<int> first = plan_.input->FirstFrameOnDisk()) {
            return {double(*first), "the first frame of " + plan_.input->text() + " on disk"};
        }
    }
    const int first = settings_.list_first.value_or(plan_.frames.front());
    return {double(first), "the first of " + setting::frames +
                               ": for a part of a longer shot, give the shot's first frame with " +
                               setting::keys_start};
}

void Shot::Load(const std::filesystem::path& module_path) {
    module_.emplace(module_path);
    instances_.push_back(
        std::make_unique<Session>(module_->entry(), plan_.settings, plan_.layer_width, plan_.layer_height));
    animation_.Resolve(instances_.front()->Params(*first_), EffectDisplayName(module_->descriptor()));
    for (const std::string& name : animation_.KeyedNames()) {
        if (settings_.render.Sets(name)) {
            throw ShotError(frames::Mention(name) + " and keys on " + name +
                            " both set it: with keys, the keys decide");
        }
    }
    plan_.animation = &animation_;
    notes_.assign(animation_.Notes().begin(), animation_.Notes().end());
    for (auto& note : animation_.FitNotes(plan_.layer_width, plan_.layer_height, plan_.frames)) {
        notes_.push_back(std::move(note));
    }
}

sim::ParamSet Shot::FirstFrameParams() {
    instances_.front()->Place(LayerPlaceOf(*first_, first_format_ ? &*first_format_ : nullptr));
    return ParamsAtFrame(*instances_.front(), plan_, *first_, plan_.frames.front());
}

std::vector<std::string> Shot::Describe() {
    std::vector<std::string> lines;
    instances_.front()->Place(LayerPlaceOf(*first_, first_format_ ? &*first_format_ : nullptr));
    for (int frame : plan_.frames) {
        const sim::ParamSet params = ParamsAtFrame(*instances_.front(), plan_, *first_, frame);
        lines.push_back(std::to_string(frame) + " time=" + std::to_string(plan_.rate.TimeOf(frame)) + "/" +
                        std::to_string(plan_.rate.time_scale) + " " + DescribeAnimatable(params));
    }
    return lines;
}

ShotResult Shot::Render(Progress& progress) {
    while (int(instances_.size()) < jobs_) {
        instances_.push_back(
            std::make_unique<Session>(module_->entry(), plan_.settings, plan_.layer_width, plan_.layer_height));
    }
    std::vector<Session*> instances;
    for (const auto& session : instances_) instances.push_back(session.get());
    std::optional<ContactSheet> sheet;
    if (settings_.contact_sheet) {
        sheet.emplace(*settings_.contact_sheet, plan_.frames, plan_.layer_width, plan_.layer_height);
    }
    ShotResult result;
    result.removed_temporaries = RemoveAbandonedTemporaries(plan_);
    {
        InterruptScope interrupts;
        result.outcome = RenderSequence(plan_, instances, progress, sheet ? &*sheet : nullptr,
                                        [] { return InterruptScope::Requested(); });
    }
    progress.Finish();
    if (sheet && !result.outcome.failure && !result.outcome.interrupted) {
        sheet->Write();
        result.sheet_written = true;
        result.sheet_every = sheet->every();
    }
    return result;
}

}  // namespace quorvel::shots
