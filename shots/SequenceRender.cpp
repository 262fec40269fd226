#include "shots/SequenceRender.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "frames/HostError.h"
#include "imagefiles/AtomicFile.h"
#include "imagefiles/ImageFile.h"
#include "imagefiles/Npy.h"
#include "shots/FrameFiles.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace quorvel::shots {

namespace {

namespace fs = std::filesystem;

/// The effect instances, each lent to one frame at a time.
class InstancePool {
public:
    explicit InstancePool(const std::vector<Session*>& instances) : free_(instances) {}

    class Lease {
    public:
        Lease(InstancePool& pool, Session* session) : pool_(pool), session_(session) {}
        ~Lease() { pool_.Return(session_); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Session& operator*() const { return *session_; }

    private:
        InstancePool& pool_;
        Session* session_;
    };

    /// Waits for a free instance.
    Session* Take() {
        std::unique_lock lock(mutex_);
        available_.wait(lock, [&] { return !free_.empty(); });
        Session* session = free_.back();
        free_.pop_back();
        return session;
    }

private:
    void Return(Session* session) {
        {
            std::lock_guard lock(mutex_);
            free_.push_back(session);
        }
        available_.notify_one();
    }

    std::mutex mutex_;
    std::condition_variable available_;
    std::vector<Session*> free_;
};

/// An output frame that could not be written: once its cause is mended
/// (a full disk, a folder's permissions), the rest can be rendered.
class OutputFailure : public std::runtime_error {
public:
    explicit OutputFailure(frames::Message what) : std::runtime_error(what.Text()), message_(std::move(what)) {}
    const frames::Message& message() const { return message_; }

private:
    frames::Message message_;
};

/// The run's state shared by the workers.
class Run {
public:
    Run(const SequencePlan& plan, const std::vector<Session*>& instances, Progress& progress, FrameObserver* observer,
        const std::function<bool()>& stop)
        : plan_(plan),
          pool_(instances),
          progress_(progress),
          observer_(observer),
          stop_(stop),
          complete_(plan.frames.size()) {}

    void Work() {
        while (true) {
            if (failed_.load()) return;
            if (stop_()) {
                interrupted_.store(true);
                return;
            }
            const std::size_t index = next_.fetch_add(1);
            if (index >= plan_.frames.size()) return;
            const int frame = plan_.frames[index];
            try {
                if (RenderFrame(index, frame)) {
                    progress_.Rendered(frame);
                } else {
                    progress_.Skipped(frame);
                }
                complete_[index].store(true);
            } catch (const ModuleFailure& e) {
                Fail(frame, e.what(), frames::ErrorKind::module);
            } catch (const OutputFailure& e) {
                Fail(frame, e.message(), frames::ErrorKind::output);
            } catch (const ShotError& e) {
                Fail(frame, e.message(), e.kind());
            } catch (const frames::HostError& e) {
                Fail(frame, e.message(), e.kind());
            } catch (const std::exception& e) {
                Fail(frame, e.what(), frames::ErrorKind::input);
            }
        }
    }

    SequenceOutcome Outcome() {
        SequenceOutcome outcome;
        for (std::size_t i = 0; i < plan_.frames.size(); ++i) {
            (complete_[i].load() ? outcome.complete : outcome.missing).push_back(plan_.frames[i]);
        }
        outcome.interrupted = interrupted_.load() && !outcome.missing.empty();
        outcome.failure = failure_;
        return outcome;
    }

private:
    /// Renders one frame, or finds it complete; false when skipped.
    bool RenderFrame(std::size_t index, int frame) {
        const fs::path out = plan_.output.PathFor(frame);
        const bool observed = observer_ != nullptr && observer_->Wants(index);
        if (plan_.skip_existing) {
            if (std::optional<frames::World> existing = ReadCompleteFrame(out, plan_)) {
                if (observed) {
                    InstancePool::Lease lease(pool_, pool_.Take());
                    sim::ParamSet params = ParamsAtFrame(*lease, plan_, *existing, frame);
                    observer_->OnFrame(index, *lease, params, *existing);
                    (*lease).host().log().Clear();
                }
                return false;
            }
        }

        std::optional<frames::World> read;
        std::optional<imagefiles::ImageFormat> read_format;
        const frames::World* input = plan_.still;
        const imagefiles::ImageFormat* format = plan_.still_format;
        if (plan_.input) {
            // The layout is the shot's, decided by its first frame: a frame of
            // another depth is refused rather than converted.
            RenderSettings reading = plan_.settings;
            reading.depth_given = true;
            // The first frame's notes spoke for the others.
            read.emplace(ReadInputFrame(plan_.input->PathFor(frame), reading, {}, &read_format));
            format = read_format ? &*read_format : nullptr;
            input = &*read;
        }
        // Each frame's data window is its own; the layer is the shot's.
        const LayerPlace place = LayerPlaceOf(*input, format);
        if (plan_.input && (place.width != plan_.layer_width || place.height != plan_.layer_height)) {
            throw frames::HostError(plan_.input->PathFor(frame).string() + " is " + std::to_string(place.width) + "x" +
                                    std::to_string(place.height) + ", the shot " + std::to_string(plan_.layer_width) +
                                    "x" + std::to_string(plan_.layer_height));
        }

        frames::World output(plan_.settings.layout, input->width(), input->height());
        {
            InstancePool::Lease lease(pool_, pool_.Take());
            (*lease).Place(place);
            sim::ParamSet params = ParamsAtFrame(*lease, plan_, *input, frame);
            (*lease).Render(params, output);
            if (observed) observer_->OnFrame(index, *lease, params, output);
            // The call log is for tests of single commands; over a shot it would only grow.
            (*lease).host().log().Clear();
        }
        // The input's pixels go before the output is written; what the file
        // stored besides them stays with its format until then.
        read.reset();
        std::vector<std::string> notes;
        try {
            notes = WriteOutputFrame(out, output, format, plan_.out_options);
        } catch (const ModuleFailure&) {
            throw;
        } catch (const frames::HostError& e) {
            throw OutputFailure(e.message());
        } catch (const ShotError& e) {
            throw OutputFailure(e.message());
        } catch (const std::exception& e) {
            throw OutputFailure(e.what());
        }
        // Said once for the shot, of its output as a whole: the frame that
        // happens to be written first is the scheduler's choice.
        if (!notes.empty() && !noted_.exchange(true) && plan_.note) {
            std::lock_guard lock(mutex_);
            for (const std::string& note : notes) {
                plan_.note("note: " + Printable(plan_.output.text() + ": " + note));
            }
        }
        return true;
    }

    void Fail(int frame, const frames::Message& message, frames::ErrorKind kind) {
        std::lock_guard lock(mutex_);
        if (!failure_) failure_ = FrameFailure{frame, "frame " + std::to_string(frame) + ": " + message, kind};
        failed_.store(true);
    }

    const SequencePlan& plan_;
    InstancePool pool_;
    Progress& progress_;
    FrameObserver* observer_;
    const std::function<bool()>& stop_;

    std::atomic<std::size_t> next_{0};
    std::atomic<bool> failed_{false};
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> noted_{false};
    std::vector<std::atomic<bool>> complete_;
    std::mutex mutex_;
    std::optional<FrameFailure> failure_;
};

}  // namespace

sim::ParamSet ParamsAtFrame(Session& instance, const SequencePlan& plan, const frames::World& layer, int frame) {
    sim::Host::Options& options = instance.host().options();
    options.current_time = plan.rate.TimeOf(frame);
    options.time_scale = plan.rate.time_scale;
    options.time_step = plan.rate.time_step;
    sim::ParamSet params = instance.Params(layer);
    if (plan.animation != nullptr) plan.animation->Apply(frame, params);
    return params;
}

std::optional<frames::World> ReadCompleteFrame(const fs::path& path, const SequencePlan& plan) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    try {
        // A frame of another size or depth is not complete, whatever its
        // header claims: it is refused before its pixels are allocated.
        const auto of_the_plan = [&plan](frames::PixelLayout layout, int width, int height) {
            if (layout != plan.settings.layout || width != plan.layer_width || height != plan.layer_height) {
                throw frames::HostError("not a frame of this shot");
            }
        };
        if (IsNpy(path)) return imagefiles::ReadNpy(path, plan.settings.app == sim::HostApp::Premiere, of_the_plan);
        // An image is read in the shot's layout whatever its channels; its
        // size is known before its pixels are.
        const std::unique_ptr<imagefiles::ImageSource> image = imagefiles::OpenImage(path, plan.settings.image);
        of_the_plan(plan.settings.layout, image->format().layer_width, image->format().layer_height);
        frames::World world(plan.settings.layout, image->format().width, image->format().height);
        image->ReadInto(world);
        return world;
    } catch (const frames::HostError&) {
        return std::nullopt;  // truncated or not an image: incomplete
    }
}

int RemoveAbandonedTemporaries(const SequencePlan& plan) {
    std::vector<fs::path> outputs;
    outputs.reserve(plan.frames.size());
    for (int frame : plan.frames) outputs.push_back(plan.output.PathFor(frame));
    return RemoveAbandonedTemporariesOf(outputs);
}

SequenceOutcome RenderSequence(const SequencePlan& plan, const std::vector<Session*>& instances, Progress& progress,
                               FrameObserver* observer, const std::function<bool()>& stop) {
    Run run(plan, instances, progress, observer, stop);
    {
        const int workers = std::clamp<int>(plan.in_flight, 1, std::max<int>(1, int(plan.frames.size())));
        std::vector<std::jthread> threads;
        threads.reserve(std::size_t(workers));
        for (int i = 0; i < workers; ++i) threads.emplace_back([&run] { run.Work(); });
    }  // the workers join here
    return run.Outcome();
}

}  // namespace quorvel::shots
