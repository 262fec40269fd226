/// Identity of the effect: one set of constants shared by the descriptor
/// resource, global setup and the about box, so the three cannot disagree.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/PF_Host.h"

namespace quorvel {

/// Packs a version the way the host reads `my_version` and 'eVER'.
constexpr std::uint32_t PackVersion(std::uint32_t major, std::uint32_t minor, std::uint32_t fix, std::uint32_t stage,
                                    std::uint32_t build) {
    return ((major & 7u) << 19) | ((minor & 15u) << 15) | ((fix & 15u) << 11) | ((stage & 3u) << 9) | (build & 511u);
}

inline constexpr int kMajorVersion = 1;
inline constexpr int kMinorVersion = 0;
inline constexpr int kFixVersion = 0;
inline constexpr int kStageVersion = PF_Stage_DEVELOP;
inline constexpr int kBuildVersion = 1;

inline constexpr std::uint32_t kEffectVersion =
    PackVersion(kMajorVersion, kMinorVersion, kFixVersion, kStageVersion, kBuildVersion);

inline constexpr std::int32_t kGlobalOutFlags =
    PF_OutFlag_PIX_INDEPENDENT | PF_OutFlag_CUSTOM_UI | PF_OutFlag_DEEP_COLOR_AWARE | PF_OutFlag_SEND_UPDATE_PARAMS_UI;
inline constexpr std::int32_t kGlobalOutFlags2 = 0;

/// Shown in the host's effect menu.
inline constexpr std::string_view kEffectMenuName = "VT Quorvel";
/// The effect's identity in saved projects: never change it.
inline constexpr std::string_view kEffectMatchName = "VT Quorvel";
inline constexpr std::string_view kEffectCategory = "Veltrane";
/// Name under which the module exports its entry point.
inline constexpr std::string_view kEntryPointName = "EntryPointFunc";

/// Descriptor format and effect API versions the module declares.
inline constexpr std::uint16_t kDescriptorVersionMajor = 2;
inline constexpr std::uint16_t kDescriptorVersionMinor = 0;
inline constexpr std::uint16_t kEffectApiVersionMajor = 13;
inline constexpr std::uint16_t kEffectApiVersionMinor = 0;

static_assert(kEffectVersion == 0x00080001);
static_assert(kGlobalOutFlags == 0x06008400);

}  // namespace quorvel
