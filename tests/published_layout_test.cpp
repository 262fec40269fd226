// The module driven by a host that knows the hosts' records only as byte
// offsets and function slots measured from their published interface, not
// through host/. The simulated host is built from the same headers as the
// module, so a record declared wrongly in both looks right to it; here the
// records are byte arrays laid out from the measured facts (abi/facts-*.txt),
// every byte the host does not set is poison, and every function slot the
// module has no business calling holds a poison pointer that faults when
// called. A module reading or writing a member anywhere but where the hosts
// keep it fails these tests, on Linux and on Windows alike.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/ModuleFixture.h"
#include "tests/RenderRig.h"

namespace quorvel::test {
namespace {

// ---- The published layout, as measured ------------------------------------
// Offsets in bytes from the start of each record; slots as byte offsets in
// function tables (8 bytes a slot).

namespace in_data {
constexpr std::size_t kSize = 408;
constexpr std::size_t kAddParam = 16;    // inter.add_param
constexpr std::size_t kRegisterUi = 40;  // inter.register_ui
constexpr std::size_t kUtils = 176;
constexpr std::size_t kEffectRef = 184;
constexpr std::size_t kApplId = 204;
constexpr std::size_t kCurrentTime = 224;
constexpr std::size_t kTimeScale = 240;
constexpr std::size_t kWidth = 252;
constexpr std::size_t kHeight = 256;
constexpr std::size_t kDownsampleX = 284;
constexpr std::size_t kDownsampleY = 292;
constexpr std::size_t kPixelAspectRatio = 300;
constexpr std::size_t kPicaBasic = 384;
}  // namespace in_data

namespace out_data {
constexpr std::size_t kSize = 408;
constexpr std::size_t kMyVersion = 0;
constexpr std::size_t kNumParams = 48;
constexpr std::size_t kOutFlags = 96;
constexpr std::size_t kReturnMsg = 100;
}  // namespace out_data

namespace utils {
constexpr std::size_t kSize = 552;
constexpr std::size_t kSprintf = 328;  // ansi.sprintf: 26 services come first
constexpr std::size_t kStrcpy = 336;
}  // namespace utils

namespace param_def {
constexpr std::size_t kSize = 176;
constexpr std::size_t kId = 0;  // uu.id, and uu.change_flags
constexpr std::size_t kParamType = 12;
constexpr std::size_t kName = 16;
constexpr std::size_t kValue = 56;        // u.*.value, u.td.x_value
constexpr std::size_t kPointY = 60;       // u.td.y_value
constexpr std::size_t kNamePointer = 64;  // u.pd.u.namesptr and u.bd.u.nameptr
constexpr std::size_t kLayer = 56;        // u.ld
}  // namespace param_def

namespace world {
constexpr std::size_t kSize = 120;
constexpr std::size_t kWorldFlags = 16;
constexpr std::size_t kData = 24;
constexpr std::size_t kRowbytes = 32;
constexpr std::size_t kWidth = 36;
constexpr std::size_t kHeight = 40;
constexpr std::size_t kExtentHint = 44;
constexpr std::size_t kPixAspectRatio = 88;
}  // namespace world

namespace event {
constexpr std::size_t kSize = 208;
constexpr std::size_t kContextH = 0;
constexpr std::size_t kType = 8;
constexpr std::size_t kScreenPoint = 20;     // u.do_click.screen_point
constexpr std::size_t kContinueRefcon = 40;  // u.do_click.continue_refcon[0]
constexpr std::size_t kSendDrag = 72;
constexpr std::size_t kLastTime = 73;
constexpr std::size_t kCallbacks = 128;  // cbs
constexpr std::size_t kLayerToComp = 136;
constexpr std::size_t kCompToLayer = 144;
constexpr std::size_t kSourceToFrame = 168;
constexpr std::size_t kFrameToSource = 176;
constexpr std::size_t kInFlags = 200;
constexpr std::size_t kOutFlags = 204;
constexpr std::size_t kContextSize = 72;
constexpr std::size_t kWindowType = 4;  // PF_Context.w_type
}  // namespace event

namespace suites {
constexpr std::size_t kBasicSize = 56;        // AcquireSuite 0, ReleaseSuite 8
constexpr std::size_t kAnsiSize = 152;        // cos 24, fabs 40, sin 96, sprintf 120
constexpr std::size_t kPixelFormatSize = 64;  // Add 0, Clear 8, GetPixelFormat 32
constexpr std::size_t kIterate8Size = 40;
constexpr std::size_t kIterate16Size = 24;
constexpr std::size_t kCustomUiSize = 8;
constexpr std::size_t kThemeSize = 64;      // PF_StrokePath 40
constexpr std::size_t kDrawSize = 16;       // GetSupplier 0, GetSurface 8
constexpr std::size_t kSupplierSize = 104;  // NewPen 0, NewPath 48, ReleaseObject 96
constexpr std::size_t kSurfaceSize = 136;   // StrokePath 32
constexpr std::size_t kPathSize = 48;       // MoveTo 0, LineTo 8, AddArc 32, Close 40
}  // namespace suites

constexpr std::int32_t kCmdAbout = 0, kCmdGlobalSetup = 1, kCmdParamsSetup = 4, kCmdRender = 11, kCmdEvent = 15;
constexpr std::int32_t kEventClick = 2, kEventDrag = 3, kEventDraw = 4;
constexpr std::int32_t kPremiere = 0x50724D72;     // 'PrMr'
constexpr std::int32_t kCompositing = 0x46584354;  // 'FXTC'
constexpr std::uint32_t kBgra8 = 0x61726762, kBgra32f = 0x61724742;
constexpr std::uint8_t kPoison = 0xA5;

// ---- Byte records ----------------------------------------------------------

/// A record as raw bytes, poison wherever nothing was put.
class Bytes {
public:
    explicit Bytes(std::size_t size) : bytes_(size, kPoison) {}
    template <typename T>
    void Put(std::size_t offset, T value) {
        ASSERT_LE(offset + sizeof value, bytes_.size());
        std::memcpy(bytes_.data() + offset, &value, sizeof value);
    }
    template <typename T>
    T Get(std::size_t offset) const {
        T value{};
        EXPECT_LE(offset + sizeof value, bytes_.size());
        std::memcpy(&value, bytes_.data() + offset, sizeof value);
        return value;
    }
    std::string String(std::size_t offset) const { return reinterpret_cast<const char*>(bytes_.data() + offset); }
    void* data() { return bytes_.data(); }
    const void* data() const { return bytes_.data(); }

private:
    // Heap storage is aligned for any scalar, as the records' pointers and
    // doubles need.
    std::vector<std::uint8_t> bytes_;
};

/// A record from raw memory the module handed over.
template <typename T>
T Read(const void* base, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const std::uint8_t*>(base) + offset, sizeof value);
    return value;
}
template <typename T>
void Write(void* base, std::size_t offset, T value) {
    std::memcpy(static_cast<std::uint8_t*>(base) + offset, &value, sizeof value);
}

using Entry = std::int32_t (*)(std::int32_t, void*, void*, void**, void*, void*);
using PixelFn = std::int32_t (*)(void*, std::int32_t, std::int32_t, void*, void*);

// ---- The host -------------------------------------------------------------

/// What the host's functions saw. One host at a time: the functions are
/// plain C functions, as a host's are.
struct Seen {
    std::map<std::string, int> acquired;
    std::map<std::string, int> released;
    std::vector<std::vector<std::uint8_t>> params;  // each definition as registered, 176 bytes
    std::vector<std::uint8_t> ui;                   // the custom UI record, 44 bytes
    std::vector<std::string> pixel_format_calls;
    std::uint32_t world_format = kBgra8;
    int theme_strokes = 0;
    int surface_strokes = 0;
    int objects_made = 0;
    int objects_released = 0;
};
Seen* g_seen = nullptr;

// Host functions, with the shapes the facts give their slots.
std::int32_t AddParam(void*, std::int32_t, void* def) {
    const auto* b = static_cast<const std::uint8_t*>(def);
    g_seen->params.emplace_back(b, b + param_def::kSize);
    return 0;
}
std::int32_t RegisterUi(void*, void* info) {
    const auto* b = static_cast<const std::uint8_t*>(info);
    g_seen->ui.assign(b, b + 44);
    return 0;
}
char* Strcpy(char* dst, const char* src) {
    std::snprintf(dst, 32, "%s", src);
    return dst;
}
int Sprintf(char* dst, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(dst, 256, format, args);
    va_end(args);
    return n;
}
double Cos(double v) { return std::cos(v); }
double Sin(double v) { return std::sin(v); }
double Fabs(double v) { return std::fabs(v); }
std::int32_t AddPixelFormat(void*, std::uint32_t format) {
    char text[32];
    std::snprintf(text, sizeof text, "add %08X", format);
    g_seen->pixel_format_calls.push_back(text);
    return 0;
}
std::int32_t ClearPixelFormats(void*) {
    g_seen->pixel_format_calls.push_back("clear");
    return 0;
}
std::int32_t GetPixelFormat(void*, std::uint32_t* format) {
    *format = g_seen->world_format;
    return 0;
}

template <std::size_t kPixelBytes>
std::int32_t Iterate(void*, std::int32_t, std::int32_t, void* src, const void* area, void* refcon, PixelFn fn,
                     void* dst) {
    EXPECT_EQ(area, nullptr);
    const auto width = Read<std::int32_t>(dst, world::kWidth);
    const auto height = Read<std::int32_t>(dst, world::kHeight);
    auto* src_data = Read<std::uint8_t*>(src, world::kData);
    auto* dst_data = Read<std::uint8_t*>(dst, world::kData);
    const auto src_rowbytes = Read<std::int32_t>(src, world::kRowbytes);
    const auto dst_rowbytes = Read<std::int32_t>(dst, world::kRowbytes);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int32_t err = fn(refcon, x, y, src_data + std::ptrdiff_t(y) * src_rowbytes + x * kPixelBytes,
                                        dst_data + std::ptrdiff_t(y) * dst_rowbytes + x * kPixelBytes);
            if (err != 0) return err;
        }
    }
    return 0;
}

// Drawing: every reference is a fresh heap byte, released through ReleaseObject.
std::int32_t GetDrawingReference(void*, void** ref) {
    static std::uint8_t drawing;
    *ref = &drawing;
    return 0;
}
std::int32_t GetDrawPart(void* ref, void** part) {
    *part = ref;
    return 0;
}
std::int32_t NewPen(void*, const float*, float, void** pen) {
    *pen = new std::uint8_t(1);
    ++g_seen->objects_made;
    return 0;
}
std::int32_t NewPath(void*, void** path) {
    *path = new std::uint8_t(2);
    ++g_seen->objects_made;
    return 0;
}
std::int32_t ReleaseObject(void* object) {
    delete static_cast<std::uint8_t*>(object);
    ++g_seen->objects_released;
    return 0;
}
std::int32_t SurfaceStrokePath(void*, void*, void*) {
    ++g_seen->surface_strokes;
    return 0;
}
std::int32_t ThemeStrokePath(void*, void*, std::uint8_t) {
    ++g_seen->theme_strokes;
    return 0;
}
std::int32_t PathPoint(void*, float, float) { return 0; }
std::int32_t PathArc(void*, const float*, float, float, float) { return 0; }
std::int32_t PathClose(void*) { return 0; }

// Window mapping: the identity, as in a composition viewed at 100 %.
std::int32_t SameTimePoint(void*, void*, std::int32_t, std::int32_t, std::int32_t*) { return 0; }
std::int32_t SamePoint(void*, void*, std::int32_t*) { return 0; }

/// The suites, each a byte table with the module's functions in their slots.
class Suites {
public:
    Suites()
        : basic_(suites::kBasicSize),
          ansi_(suites::kAnsiSize),
          pixel_format_(suites::kPixelFormatSize),
          iterate8_(suites::kIterate8Size),
          iterate16_(suites::kIterate16Size),
          custom_ui_(suites::kCustomUiSize),
          theme_(suites::kThemeSize),
          draw_(suites::kDrawSize),
          supplier_(suites::kSupplierSize),
          surface_(suites::kSurfaceSize),
          path_(suites::kPathSize) {
        basic_.Put(0, &Suites::Acquire);
        basic_.Put(8, &Suites::Release);
        ansi_.Put(24, &Cos);
        ansi_.Put(40, &Fabs);
        ansi_.Put(96, &Sin);
        ansi_.Put(120, &Sprintf);
        pixel_format_.Put(0, &AddPixelFormat);
        pixel_format_.Put(8, &ClearPixelFormats);
        pixel_format_.Put(32, &GetPixelFormat);
        iterate8_.Put(0, &Iterate<4>);
        iterate16_.Put(0, &Iterate<8>);
        custom_ui_.Put(0, &GetDrawingReference);
        theme_.Put(40, &ThemeStrokePath);
        draw_.Put(0, &GetDrawPart);
        draw_.Put(8, &GetDrawPart);
        supplier_.Put(0, &NewPen);
        supplier_.Put(48, &NewPath);
        supplier_.Put(96, &ReleaseObject);
        surface_.Put(32, &SurfaceStrokePath);
        path_.Put(0, &PathPoint);
        path_.Put(8, &PathPoint);
        path_.Put(32, &PathArc);
        path_.Put(40, &PathClose);
        instance_ = this;
    }
    ~Suites() { instance_ = nullptr; }
    Suites(const Suites&) = delete;
    Suites& operator=(const Suites&) = delete;

    void* basic() { return basic_.data(); }

private:
    static std::int32_t Acquire(const char* name, std::int32_t version, const void** suite) {
        *suite = nullptr;
        if (version != 1) return 0x53214664;  // 'S!Fd'
        const std::map<std::string, Bytes*> tables = {
            {"PF ANSI Suite", &instance_->ansi_},
            {"PF Pixel Format Suite", &instance_->pixel_format_},
            {"PF Iterate8 Suite", &instance_->iterate8_},
            {"PF iterate16 Suite", &instance_->iterate16_},
            {"PF Effect Custom UI Suite", &instance_->custom_ui_},
            {"PF Effect Custom UI Overlay Theme Suite", &instance_->theme_},
            {"DRAWBOT Draw Suite", &instance_->draw_},
            {"DRAWBOT Supplier Suite", &instance_->supplier_},
            {"DRAWBOT Surface Suite", &instance_->surface_},
            {"DRAWBOT Path Suite", &instance_->path_},
        };
        const auto it = tables.find(name);
        if (it == tables.end()) return 0x53214664;
        *suite = it->second->data();
        ++g_seen->acquired[name];
        return 0;
    }
    static std::int32_t Release(const char* name, std::int32_t) {
        ++g_seen->released[name];
        return 0;
    }

    static Suites* instance_;
    Bytes basic_, ansi_, pixel_format_, iterate8_, iterate16_, custom_ui_, theme_, draw_, supplier_, surface_, path_;
};
Suites* Suites::instance_ = nullptr;

/// One host: its in-data, utility callbacks and suites, laid out by the
/// measured offsets; everything not set is poison.
class PublishedHost {
public:
    explicit PublishedHost(std::int32_t appl_id) : in_(in_data::kSize), out_(out_data::kSize), utils_(utils::kSize) {
        g_seen = &seen_;
        utils_.Put(utils::kSprintf, &Sprintf);
        utils_.Put(utils::kStrcpy, &Strcpy);
        in_.Put(in_data::kAddParam, &AddParam);
        in_.Put(in_data::kRegisterUi, &RegisterUi);
        in_.Put(in_data::kUtils, utils_.data());
        in_.Put(in_data::kEffectRef, static_cast<void*>(this));
        in_.Put(in_data::kApplId, appl_id);
        in_.Put(in_data::kCurrentTime, std::int32_t{0});
        in_.Put(in_data::kTimeScale, std::uint32_t{24});
        in_.Put(in_data::kWidth, kLayerWidth);
        in_.Put(in_data::kHeight, kLayerHeight);
        SetScale(in_data::kDownsampleX, 1, 1);
        SetScale(in_data::kDownsampleY, 1, 1);
        SetScale(in_data::kPixelAspectRatio, 1, 1);
        in_.Put(in_data::kPicaBasic, suites_.basic());
    }
    ~PublishedHost() { g_seen = nullptr; }
    PublishedHost(const PublishedHost&) = delete;
    PublishedHost& operator=(const PublishedHost&) = delete;

    static constexpr std::int32_t kLayerWidth = 1920;
    static constexpr std::int32_t kLayerHeight = 1080;

    void SetScale(std::size_t offset, std::int32_t num, std::uint32_t den) {
        in_.Put(offset, num);
        in_.Put(offset + 4, den);
    }

    /// Sends a command with a fresh out-data record (members cleared as a
    /// host clears them; the rest poison).
    std::int32_t Send(std::int32_t cmd, void** params = nullptr, void* output = nullptr, void* extra = nullptr) {
        out_ = Bytes(out_data::kSize);
        for (std::size_t i = 0; i < 364; ++i) out_.Put(i, std::uint8_t{0});  // up to the audio record
        out_.Put(400, std::int32_t{0});                                      // out_flags2
        const auto entry = reinterpret_cast<Entry>(Module().entry());
        return entry(cmd, in_.data(), out_.data(), params, output, extra);
    }

    Bytes& in() { return in_; }
    const Bytes& out() const { return out_; }
    Seen& seen() { return seen_; }

private:
    Seen seen_;
    Suites suites_;
    Bytes in_;
    Bytes out_;
    Bytes utils_;
};

/// A frame buffer and its world record.
struct RawWorld {
    RawWorld(const frames::World& like, bool deep)
        : record(world::kSize), pixels(like.bytes().begin(), like.bytes().end()) {
        record.Put(world::kWorldFlags, std::int32_t(deep ? 3 : 2));  // writeable, deep for 16 bits
        record.Put(world::kData, static_cast<void*>(pixels.data()));
        record.Put(world::kRowbytes, std::int32_t(like.rowbytes()));
        record.Put(world::kWidth, std::int32_t(like.width()));
        record.Put(world::kHeight, std::int32_t(like.height()));
        record.Put(world::kExtentHint, std::array<std::int32_t, 4>{0, 0, like.width(), like.height()});
        record.Put(world::kPixAspectRatio, std::array<std::int32_t, 2>{1, 1});
    }
    Bytes record;
    std::vector<std::uint8_t> pixels;
};

/// The eleven parameter records with the values of `rig`'s parameters.
struct RawParams {
    RawParams(const sim::ParamSet& from, const RawWorld& layer) {
        for (int i = 0; i < kNumParams; ++i) defs.emplace_back(param_def::kSize);
        Bytes& input = defs[kParamInput];
        input.Put(param_def::kParamType, std::int32_t{0});
        for (std::size_t b = 0; b < world::kSize; ++b) {
            input.Put(param_def::kLayer + b, Read<std::uint8_t>(layer.record.data(), b));
        }
        auto popup = [&](int i) { defs[i].Put(param_def::kValue, from[i].u.pd.value); };
        auto fixed = [&](int i, std::int32_t v) { defs[i].Put(param_def::kValue, v); };
        auto real = [&](int i) { defs[i].Put(param_def::kValue, from[i].u.fs_d.value); };
        popup(kParamMaskType);
        popup(kParamCompositeMode);
        defs[kParamOrigin].Put(param_def::kValue, from[kParamOrigin].u.td.x_value);
        defs[kParamOrigin].Put(param_def::kPointY, from[kParamOrigin].u.td.y_value);
        real(kParamWidth);
        real(kParamHeight);
        fixed(kParamAngle, from[kParamAngle].u.ad.value);
        real(kParamFeather);
        fixed(kParamOpacity, from[kParamOpacity].u.fd.value);
        fixed(kParamInvert, from[kParamInvert].u.bd.value);
        popup(kParamFalloff);
        for (Bytes& def : defs) pointers.push_back(def.data());
    }
    std::vector<Bytes> defs;
    std::vector<void*> pointers;
};

// ---- Tests -----------------------------------------------------------------

TEST(PublishedLayout, ParameterSetupWritesEveryDefinitionWhereTheHostReadsIt) {
    PublishedHost host(kCompositing);
    ASSERT_EQ(host.Send(kCmdParamsSetup), 0);
    EXPECT_EQ(host.out().Get<std::int32_t>(out_data::kNumParams), kNumParams);

    struct Expected {
        std::int32_t id, type;
        const char* name;
    };
    const Expected expected[] = {{2, 7, "Mask Type"},     {8, 7, "Composite mode"}, {1, 6, "Point of origin"},
                                 {3, 10, "Width"},        {4, 10, "Height"},        {5, 3, "Angle"},
                                 {6, 10, "Feather"},      {7, 2, "Opacity"},        {9, 4, "Invert"},
                                 {10, 7, "Alpha falloff"}};
    const auto& defs = host.seen().params;
    ASSERT_EQ(defs.size(), std::size(expected));
    for (std::size_t i = 0; i < defs.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(Read<std::int32_t>(defs[i].data(), param_def::kId), expected[i].id);
        EXPECT_EQ(Read<std::int32_t>(defs[i].data(), param_def::kParamType), expected[i].type);
        EXPECT_STREQ(reinterpret_cast<const char*>(defs[i].data() + param_def::kName), expected[i].name);
    }
    // The label beside the box, and the popups' choices, are pointers the
    // host reads at the same place in the union.
    EXPECT_STREQ(Read<const char*>(defs[8].data(), param_def::kNamePointer), "Invert mask");
    EXPECT_STREQ(Read<const char*>(defs[0].data(), param_def::kNamePointer), "Ellipse|Rectangle|");
    EXPECT_STREQ(Read<const char*>(defs[9].data(), param_def::kNamePointer),
                 "Linear|Quadratic|Cubic|Gamma 2.2|Gaussian|Exponential");
    EXPECT_EQ(Read<double>(defs[3].data(), param_def::kValue), 300.0);
    ASSERT_EQ(host.seen().ui.size(), 44u);
    EXPECT_EQ(Read<std::int32_t>(host.seen().ui.data(), 4), 3) << "composition and layer window events";
}

TEST(PublishedLayout, GlobalSetupRecognisesPremiereByItsApplicationId) {
    for (const std::int32_t appl_id : {kPremiere, kCompositing}) {
        PublishedHost host(appl_id);
        ASSERT_EQ(host.Send(kCmdGlobalSetup), 0);
        EXPECT_EQ(host.out().Get<std::uint32_t>(out_data::kMyVersion), 0x00080001u);
        EXPECT_EQ(host.out().Get<std::int32_t>(out_data::kOutFlags), 0x06008400);
        const std::vector<std::string> premiere_calls = {"clear", "add 61724742", "add 61726762"};
        EXPECT_EQ(host.seen().pixel_format_calls, appl_id == kPremiere ? premiere_calls : std::vector<std::string>{});
        EXPECT_EQ(host.seen().acquired, host.seen().released);
    }
}

TEST(PublishedLayout, AboutFormatsItsTextIntoTheReturnMessage) {
    PublishedHost host(kCompositing);
    ASSERT_EQ(host.Send(kCmdAbout), 0);
    EXPECT_EQ(host.out().String(out_data::kReturnMsg).rfind("Quorvel v1.0\r", 0), 0u)
        << host.out().String(out_data::kReturnMsg);
}

struct RenderCase {
    const char* name;
    frames::PixelLayout layout;
};

class PublishedRender : public ::testing::TestWithParam<RenderCase> {};

// The same frame rendered by the simulated host and by the published-layout
// host must agree byte for byte: scale factors, worlds and parameters read
// from anywhere else would change it.
TEST_P(PublishedRender, MatchesTheSimulatedHostByteForByte) {
    const frames::PixelLayout layout = GetParam().layout;
    const bool premiere = frames::IsPremiereLayout(layout);
    RenderRig rig(layout, 23, 11);
    rig.SetFloat(kParamWidth, 14.0);
    rig.SetFloat(kParamHeight, 9.0);
    rig.SetFloat(kParamFeather, 3.5);
    rig.SetOrigin(10.0, 6.0);
    rig.SetPopup(kParamFalloff, kFalloffGaussian);
    rig.SetPopup(kParamCompositeMode, kCompositeIntersect);
    rig.params[kParamAngle].u.ad.value = 30 * 65536;
    rig.SetOpacity(80.0);
    rig.host.options().downsample_x = {1, 2};
    rig.host.options().pixel_aspect_ratio = {3, 2};
    ASSERT_EQ(rig.Render(), PF_Err_NONE);

    PublishedHost host(premiere ? kPremiere : kCompositing);
    host.SetScale(in_data::kDownsampleX, 1, 2);
    host.SetScale(in_data::kPixelAspectRatio, 3, 2);
    host.seen().world_format = layout == frames::PixelLayout::BGRA32f ? kBgra32f : kBgra8;
    const bool deep = layout == frames::PixelLayout::ARGB16;
    RawWorld input(rig.input, deep);
    frames::World blank(layout, rig.output.width(), rig.output.height());
    blank.Fill(0xEE);
    RawWorld output(blank, deep);
    RawParams params(rig.params, input);
    ASSERT_EQ(host.Send(kCmdRender, params.pointers.data(), output.record.data()), 0);
    EXPECT_EQ(output.pixels, std::vector<std::uint8_t>(rig.output.bytes().begin(), rig.output.bytes().end()));
    EXPECT_EQ(host.seen().acquired, host.seen().released);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PublishedRender,
                         ::testing::Values(RenderCase{"ae8", frames::PixelLayout::ARGB8},
                                           RenderCase{"ae16", frames::PixelLayout::ARGB16},
                                           RenderCase{"pr8", frames::PixelLayout::BGRA8},
                                           RenderCase{"pr32f", frames::PixelLayout::BGRA32f}),
                         [](const auto& info) { return std::string(info.param.name); });

/// An event record and its window context, with the coordinate callbacks.
struct RawEvent {
    RawEvent(std::int32_t type, std::int32_t window) : record(event::kSize), context(event::kContextSize) {
        context.Put(event::kWindowType, window);
        context_pointer = context.data();
        record.Put(event::kContextH, static_cast<void*>(&context_pointer));
        record.Put(event::kCallbacks, static_cast<void*>(nullptr));
        record.Put(event::kLayerToComp, &SameTimePoint);
        record.Put(event::kCompToLayer, &SameTimePoint);
        record.Put(event::kSourceToFrame, &SamePoint);
        record.Put(event::kFrameToSource, &SamePoint);
        record.Put(event::kInFlags, std::int32_t{0});
        record.Put(event::kOutFlags, std::int32_t{0});
        SetType(type);
    }
    /// A click or drag event's members, as the host sets them for each one.
    void SetType(std::int32_t type) {
        record.Put(event::kType, type);
        if (type == kEventClick) {
            for (std::size_t b = 16; b < 74; ++b) record.Put(b, std::uint8_t{0});
        }
    }
    void SetPoint(std::int32_t h, std::int32_t v) {
        record.Put(event::kScreenPoint, h);
        record.Put(event::kScreenPoint + 4, v);
    }
    Bytes record;
    Bytes context;
    void* context_pointer;
};

class PublishedEvents : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(PublishedEvents, DrawingMarksTheEventHandledWhereTheHostLooks) {
    const bool premiere = GetParam() == kPremiere;
    PublishedHost host(GetParam());
    ASSERT_EQ(host.Send(kCmdParamsSetup), 0);
    RenderRig rig(frames::PixelLayout::ARGB8);  // parameters at their defaults on a 1920 x 1080 layer
    RawWorld layer(rig.input, false);
    RawParams params(rig.params, layer);
    RawEvent draw(kEventDraw, 0);
    ASSERT_EQ(host.Send(kCmdEvent, params.pointers.data(), nullptr, draw.record.data()), 0);
    EXPECT_EQ(draw.record.Get<std::int32_t>(event::kOutFlags), 1);
    EXPECT_GT(premiere ? host.seen().surface_strokes : host.seen().theme_strokes, 0);
    EXPECT_EQ(premiere ? host.seen().theme_strokes : host.seen().surface_strokes, 0);
    EXPECT_GT(host.seen().objects_made, 0);
    EXPECT_EQ(host.seen().objects_made, host.seen().objects_released);
    EXPECT_EQ(host.seen().acquired, host.seen().released);
}

TEST_P(PublishedEvents, AClickGrabsTheCornerAndTheDragResizesTheBox) {
    PublishedHost host(GetParam());
    ASSERT_EQ(host.Send(kCmdParamsSetup), 0);
    RenderRig rig(frames::PixelLayout::ARGB8);  // parameters at their defaults on a 1920 x 1080 layer
    RawWorld layer(rig.input, false);
    RawParams params(rig.params, layer);

    // The default box is 300 x 200 around the layer's centre: its
    // bottom-right corner (handle 4) is at (1110, 640).
    RawEvent event(kEventClick, 0);
    event.SetPoint(1110, 640);
    ASSERT_EQ(host.Send(kCmdEvent, params.pointers.data(), nullptr, event.record.data()), 0);
    EXPECT_EQ(event.record.Get<std::intptr_t>(event::kContinueRefcon), 4);
    EXPECT_EQ(event.record.Get<std::uint8_t>(event::kSendDrag), 1);
    EXPECT_EQ(event.record.Get<std::int32_t>(event::kOutFlags), 1);

    event.SetType(kEventDrag);
    event.SetPoint(1060, 590);
    event.record.Put(event::kLastTime, std::uint8_t{1});
    event.record.Put(event::kOutFlags, std::int32_t{0});
    ASSERT_EQ(host.Send(kCmdEvent, params.pointers.data(), nullptr, event.record.data()), 0);
    EXPECT_EQ(params.defs[kParamWidth].Get<double>(param_def::kValue), 200.0);
    EXPECT_EQ(params.defs[kParamHeight].Get<double>(param_def::kValue), 100.0);
    EXPECT_EQ(params.defs[kParamWidth].Get<std::int32_t>(param_def::kId), 1) << "changed-value flag";
    EXPECT_EQ(event.record.Get<std::intptr_t>(event::kContinueRefcon), 0) << "released on the last drag";
    EXPECT_EQ(event.record.Get<std::int32_t>(event::kOutFlags), 1);
    EXPECT_EQ(host.seen().acquired, host.seen().released);
}

INSTANTIATE_TEST_SUITE_P(Hosts, PublishedEvents, ::testing::Values(kCompositing, kPremiere), [](const auto& info) {
    return std::string(info.param == kPremiere ? "Premiere" : "AfterEffects");
});

}  // namespace
}  // namespace quorvel::test
