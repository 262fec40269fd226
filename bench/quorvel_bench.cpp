// Renders of one 3840×2160 frame through the built module's entry point, in
// each of the four pixel paths, beside two floors measured in the same run:
// a plain copy of the frame (what memory allows) and the pixel iteration
// calling a function that only copies the pixel (what one call per pixel
// allows). The program ends with a table of each render against its floors.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "bench/SummaryReporter.h"
#include "frames/World.h"
#include "modulefiles/ModuleFile.h"
#include "render/IterateFloatPixels.h"
#include "shell/Params.h"
#include "simhost/Host.h"
#include "simhost/ParamSet.h"

namespace {

using namespace quorvel;

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
constexpr double kPixels = double(kWidth) * double(kHeight);

struct PathCase {
    const char* name;
    frames::PixelLayout layout;
};

constexpr PathCase kPaths[] = {{"ae8", frames::PixelLayout::ARGB8},
                               {"ae16", frames::PixelLayout::ARGB16},
                               {"pr8", frames::PixelLayout::BGRA8},
                               {"pr32f", frames::PixelLayout::BGRA32f}};

/// The large shapes of the two feathered scenes: most of the frame lies in
/// their feather border, where the square roots and the curve are paid.
void SetLargeShape(sim::ParamSet& params, A_long mask_type, A_long falloff) {
    params[kParamMaskType].u.pd.value = mask_type;
    params[kParamWidth].u.fs_d.value = 3400.0;
    params[kParamHeight].u.fs_d.value = 1900.0;
    params[kParamFeather].u.fs_d.value = 850.0;
    params[kParamFalloff].u.pd.value = falloff;
    frames::SetAngle(params[kParamAngle], 30.0);
}

struct SceneCase {
    const char* name;
    void (*apply)(sim::ParamSet&);
};

constexpr SceneCase kScenes[] = {
    // The defaults: a 300×200 hard-edged ellipse in the middle, so nearly
    // every pixel takes the cheapest way out (outside the outline).
    {"default", [](sim::ParamSet&) {}},
    {"gaussian", [](sim::ParamSet& p) { SetLargeShape(p, kMaskEllipse, kFalloffGaussian); }},
    {"rectangle", [](sim::ParamSet& p) { SetLargeShape(p, kMaskRectangle, kFalloffCubic); }},
    // The gaussian scene's ellipse with each of the other curves.
    {"ellipse-linear", [](sim::ParamSet& p) { SetLargeShape(p, kMaskEllipse, kFalloffLinear); }},
    {"ellipse-quadratic", [](sim::ParamSet& p) { SetLargeShape(p, kMaskEllipse, kFalloffQuadratic); }},
    {"ellipse-cubic", [](sim::ParamSet& p) { SetLargeShape(p, kMaskEllipse, kFalloffCubic); }},
    {"ellipse-gamma", [](sim::ParamSet& p) { SetLargeShape(p, kMaskEllipse, kFalloffGamma); }},
    {"ellipse-exponential", [](sim::ParamSet& p) { SetLargeShape(p, kMaskEllipse, kFalloffExponential); }},
};

/// The module file: --module=PATH, else the build's own. Another build's
/// module, measured in a run of its own, gives its ratios to compare.
std::string& ModulePath() {
    static std::string path = QUORVEL_MODULE_PATH;
    return path;
}

const modulefiles::LoadedModule& Module() {
    static const modulefiles::LoadedModule module(ModulePath());
    return module;
}

sim::Host::Options HostOptions(frames::PixelLayout layout) {
    sim::Host::Options options;
    options.app = frames::IsPremiereLayout(layout) ? sim::HostApp::Premiere : sim::HostApp::AfterEffects;
    // The layer is the frame, so the default origin (its centre) is the frame's.
    options.layer_width = kWidth;
    options.layer_height = kHeight;
    return options;
}

/// An input frame with varied alphas and colours, within each layout's range.
void FillInput(frames::World& input) {
    const std::span<std::uint8_t> bytes = input.bytes();
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 7 + 3);
    if (input.layout() == frames::PixelLayout::ARGB16) {
        for (int y = 0; y < kHeight; ++y) {
            auto* row = reinterpret_cast<PF_Pixel16*>(input.Row(y));
            for (int x = 0; x < kWidth; ++x) {
                PF_Pixel16& p = row[x];
                p = {A_u_short(p.alpha % 32769), A_u_short(p.red % 32769), A_u_short(p.green % 32769),
                     A_u_short(p.blue % 32769)};
            }
        }
    } else if (input.layout() == frames::PixelLayout::BGRA32f) {
        for (int y = 0; y < kHeight; ++y) {
            auto* row = reinterpret_cast<frames::BGRA32fPixel*>(input.Row(y));
            for (int x = 0; x < kWidth; ++x) {
                row[x] = {float(x) / kWidth, float(y) / kHeight, 0.5f, float((x + y) % 256) / 255.0f};
            }
        }
    }
}

sim::ParamSet SetUpModule(sim::Host& host, const frames::World& input) {
    if (host.GlobalSetup() != PF_Err_NONE || host.ParamsSetup() != PF_Err_NONE) {
        throw std::runtime_error("the module's setup failed");
    }
    return host.DefaultParams(input);
}

/// A host that has run global and parameter setup, with an input and an
/// output frame of one path and the parameters at their defaults.
struct Frame {
    explicit Frame(const PathCase& path)
        : host(Module().entry(), HostOptions(path.layout)),
          input(path.layout, kWidth, kHeight),
          output(path.layout, kWidth, kHeight),
          defaults(SetUpModule(host, input)),
          params(defaults) {
        FillInput(input);
        if (frames::IsPremiereLayout(path.layout))
            host.SetWorldFormat(output.def(), frames::PremiereFormat(path.layout));
    }

    void UseScene(const SceneCase& scene) {
        params = defaults;
        scene.apply(params);
    }

    sim::Host host;
    frames::World input;
    frames::World output;
    sim::ParamSet defaults;
    sim::ParamSet params;
};

/// The frames of each path, made when first asked for and kept for the whole
/// run (about half a gigabyte for the four), so that benchmarks may run in
/// any order (--benchmark_enable_random_interleaving) without remaking them.
Frame& FrameFor(const PathCase& path) {
    static std::map<std::string, std::unique_ptr<Frame>> frames;
    std::unique_ptr<Frame>& frame = frames[path.name];
    if (!frame) frame = std::make_unique<Frame>(path);
    return *frame;
}

void ReportRate(benchmark::State& state) {
    state.counters["Mpixel"] =
        benchmark::Counter(kPixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

/// The host's worker-thread count: the benchmark's argument.
int Threads(const benchmark::State& state) { return int(state.range(0)); }

void BM_Render(benchmark::State& state, const PathCase& path, const SceneCase& scene) {
    Frame& frame = FrameFor(path);
    frame.UseScene(scene);
    frame.host.options().threads = Threads(state);
    for (auto _ : state) {
        const PF_Err err = frame.host.Render(frame.params, frame.output);
        if (err != PF_Err_NONE) {
            state.SkipWithError(("render returned " + std::to_string(err)).c_str());
            break;
        }
        benchmark::ClobberMemory();
    }
    if (!frame.host.problems().empty()) state.SkipWithError(frame.host.problems().front().c_str());
    frame.host.log().Clear();
    ReportRate(state);
}

/// Calls band(begin, end) for rows [height·b/threads, height·(b+1)/threads)
/// on thread b, the calling thread taking b = 0. A copy costs the same in
/// every row, so one band per thread balances as well as finer chunks.
template <typename Band>
void OverBands(int threads, Band band) {
    std::vector<std::jthread> workers;
    workers.reserve(std::size_t(threads - 1));
    auto rows = [threads](int b) {
        return std::pair<int, int>(int(std::int64_t(kHeight) * b / threads),
                                   int(std::int64_t(kHeight) * (b + 1) / threads));
    };
    for (int b = 1; b < threads; ++b) {
        workers.emplace_back([&band, r = rows(b)] { band(r.first, r.second); });
    }
    const auto first = rows(0);
    band(first.first, first.second);
}

void BM_Copy(benchmark::State& state, const PathCase& path) {
    Frame& frame = FrameFor(path);
    const std::size_t rowbytes = frame.input.rowbytes();
    for (auto _ : state) {
        OverBands(Threads(state), [&](int begin, int end) {
            std::memcpy(frame.output.Row(begin), frame.input.Row(begin), std::size_t(end - begin) * rowbytes);
        });
        benchmark::ClobberMemory();
    }
    ReportRate(state);
}

// The copy-only pixel functions. Kept out of line and called through a
// pointer the compiler cannot see through, as the module's are: the call
// per pixel is the cost this floor measures.
[[gnu::noinline]] PF_Err CopyPixel8(void*, A_long, A_long, PF_Pixel8* in, PF_Pixel8* out) {
    *out = *in;
    return PF_Err_NONE;
}

[[gnu::noinline]] PF_Err CopyPixel16(void*, A_long, A_long, PF_Pixel16* in, PF_Pixel16* out) {
    *out = *in;
    return PF_Err_NONE;
}

[[gnu::noinline]] PF_Err CopyPixel32f(void*, A_long, A_long, PixelBGRA32f* in, PixelBGRA32f* out) {
    *out = *in;
    return PF_Err_NONE;
}

/// The host's iterate suite `Suite` (named `suite_name`), taken from the
/// basic suite as the module takes it and called as the module calls it, over
/// the whole frame with `fn`: the same host code the render goes through.
template <typename Suite, typename Fn>
void IterateCopyOnHost(benchmark::State& state, Frame& frame, const char* suite_name, Fn fn) {
    frame.host.options().threads = Threads(state);
    // Through a variable the compiler cannot see into, as a module's
    // function pointer is.
    benchmark::DoNotOptimize(fn);
    for (auto _ : state) {
        const PF_Err err = frame.host.Run([&](PF_InData& in_data, PF_OutData&) -> PF_Err {
            const void* suite = nullptr;
            if (in_data.pica_basicP->AcquireSuite(suite_name, 1, &suite) != kSPNoError)
                return PF_Err_BAD_CALLBACK_PARAM;
            const PF_Err result = static_cast<const Suite*>(suite)->iterate(&in_data, 0, kHeight, frame.input.def(),
                                                                            nullptr, nullptr, fn, frame.output.def());
            in_data.pica_basicP->ReleaseSuite(suite_name, 1);
            return result;
        });
        if (err != PF_Err_NONE) {
            state.SkipWithError(("iterate returned " + std::to_string(err)).c_str());
            break;
        }
        benchmark::ClobberMemory();
    }
    frame.host.log().Clear();
}

void BM_IterateCopy(benchmark::State& state, const PathCase& path) {
    Frame& frame = FrameFor(path);
    switch (path.layout) {
        case frames::PixelLayout::ARGB8:
        case frames::PixelLayout::BGRA8:
            IterateCopyOnHost<PF_Iterate8Suite1>(state, frame, kPFIterate8Suite, PF_IteratePixel8Func{CopyPixel8});
            break;
        case frames::PixelLayout::ARGB16:
            IterateCopyOnHost<PF_iterate16Suite1>(state, frame, kPFIterate16Suite, PF_IteratePixel16Func{CopyPixel16});
            break;
        case frames::PixelLayout::BGRA32f: {
            // The float path's own loop (the module's code, compiled into this
            // program) runs on the command's thread whatever the host's
            // worker count.
            FloatPixelFunc fn = CopyPixel32f;
            benchmark::DoNotOptimize(fn);
            for (auto _ : state) {
                IterateFloatPixels(0, kHeight, frame.input.def(), nullptr, fn, frame.output.def());
                benchmark::ClobberMemory();
            }
            break;
        }
    }
    ReportRate(state);
}

/// The value of `--flag=value` in argv, or `fallback`.
std::string FlagValue(int argc, char** argv, std::string_view flag, std::string fallback) {
    const std::string prefix = "--" + std::string(flag) + "=";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.substr(0, prefix.size()) == prefix) fallback = std::string(arg.substr(prefix.size()));
    }
    return fallback;
}

/// Each benchmark at 1 worker thread and at one per core: the names end in
/// the thread count (BM_Render/ae8/default/1, BM_Render/ae8/default/2 on two
/// cores).
void RegisterAll() {
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    auto common = [cores](benchmark::internal::Benchmark* b) {
        b->Arg(1);
        if (cores > 1) b->Arg(cores);
        // Worker threads and the copy's bands do the work, so only the wall
        // clock says how long a frame took.
        b->UseRealTime()->Unit(benchmark::kMillisecond);
    };
    for (const PathCase& path : kPaths) {
        const std::string name = path.name;
        common(benchmark::RegisterBenchmark(("BM_Copy/" + name).c_str(), BM_Copy, path));
        common(benchmark::RegisterBenchmark(("BM_IterateCopy/" + name).c_str(), BM_IterateCopy, path));
        for (const SceneCase& scene : kScenes) {
            const std::string render = "BM_Render/" + name + "/" + scene.name;
            common(benchmark::RegisterBenchmark(render.c_str(), BM_Render, path, scene));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Read before the library consumes its flags from argv.
    const std::string out_file = FlagValue(argc, argv, "benchmark_out", "");
    const std::string out_format = FlagValue(argc, argv, "benchmark_out_format", "json");
    ModulePath() = FlagValue(argc, argv, "module", ModulePath());
    try {
        Module();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvel-bench: %s\n", e.what());
        return 2;
    }
    // The library refuses flags it does not know.
    argc = int(std::remove_if(argv + 1, argv + argc,
                              [](const char* arg) { return std::string_view(arg).starts_with("--module="); }) -
               argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RegisterAll();

    // The library keeps the default display reporter for the whole run.
    bench::PlainNameReporter display(*benchmark::CreateDefaultDisplayReporter(), kPixels);
    // --benchmark_out in another format keeps the library's own file reporter.
    std::unique_ptr<benchmark::BenchmarkReporter> file_inner;
    std::unique_ptr<bench::PlainNameReporter> file;
    if (!out_file.empty() && (out_format == "json" || out_format == "console")) {
        if (out_format == "json") {
            file_inner = std::make_unique<benchmark::JSONReporter>();
        } else {
            file_inner = std::make_unique<benchmark::ConsoleReporter>(benchmark::ConsoleReporter::OO_None);
        }
        file = std::make_unique<bench::PlainNameReporter>(*file_inner, 0.0);
    }
    benchmark::RunSpecifiedBenchmarks(&display, file.get());
    benchmark::Shutdown();
    return 0;
}
