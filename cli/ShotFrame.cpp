// Frame F of a shot for the on-screen controls, prepared by the shot
// engine exactly as `render --frames` prepares its frames.
#include <iostream>

#include "cli/ControlsFrame.h"
#include "cli/ModuleOption.h"
#include "cli/SettingFlags.h"
#include "shots/Shot.h"

namespace quorvel::cli {

namespace {

class FrameOfShot : public ControlsFrame {
public:
    FrameOfShot(const ToolContext& ctx, const ControlsRequest& r)
        : shot_(
              Settings(r),
              [&r](const shots::FrameRate& rate, const shots::KeyLanding& landing) {
                  return ReadAnimation(r.keys, rate, landing);
              },
              Say),
          params_(Loaded(shot_, ctx, r)) {}

    shots::Session& session() override { return shot_.first_instance(); }
    const frames::World& input() const override { return shot_.first_input(); }
    sim::ParamSet& params() override { return params_; }

private:
    /// The first frame's values, once the module is loaded and the keys resolved.
    static sim::ParamSet Loaded(shots::Shot& shot, const ToolContext& ctx, const ControlsRequest& r) {
        shot.Load(ResolveModulePath(ctx.argv0, r.module));
        for (const frames::Message& note : shot.Notes()) Say(note);
        return shot.FirstFrameParams();
    }

    static shots::ShotSettings Settings(const ControlsRequest& r) {
        shots::ShotSettings s = r.shot;
        s.frames = {*r.frame};
        // The shot writes nothing: its frame is shown, as a dry run shows it.
        s.dry_run = true;
        return s;
    }

    shots::Shot shot_;
    sim::ParamSet params_;
};

}  // namespace

std::unique_ptr<ControlsFrame> OpenShotFrame(const ToolContext& ctx, const ControlsRequest& request) {
    return std::make_unique<FrameOfShot>(ctx, request);
}

}  // namespace quorvel::cli
