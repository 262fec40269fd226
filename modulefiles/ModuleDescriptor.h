/// Reading the descriptor resource a module carries: decoding its
/// properties and checking that it describes a loadable effect.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel::modulefiles {

struct DescriptorProperty {
    std::uint32_t vendor = 0;
    std::uint32_t key = 0;
    std::uint32_t id = 0;
    std::uint32_t offset = 0;        ///< of the property, from the start of the resource
    std::vector<std::uint8_t> data;  ///< the counted bytes

    /// The key as its four characters ("kind", "eVER", ...).
    std::string KeyText() const;
    /// A readable rendering of the value, by the key's known type.
    std::string ValueText() const;
};

struct Descriptor {
    std::uint32_t list_version = 0;
    std::vector<DescriptorProperty> properties;

    const DescriptorProperty* Find(const char* key) const;
    /// Length-prefixed string values ('name', 'catg', 'eMNA').
    std::optional<std::string> PascalString(const char* key) const;
    /// NUL-terminated string values (the entry point name).
    std::optional<std::string> CString(const char* key) const;
    std::optional<std::uint32_t> Long(const char* key) const;

    std::string EntryPointName() const;  ///< '8664', empty when absent
};

std::string FourCCText(std::uint32_t code);
std::uint32_t FourCCFromText(const char* text);

/// Decodes the resource bytes; throws HostError naming what is malformed.
Descriptor DecodeDescriptor(std::span<const std::uint8_t> bytes);

/// Checks that a decoded descriptor describes an x64 effect the host can
/// load; throws HostError naming the first problem.
void ValidateDescriptor(const Descriptor& descriptor);

}  // namespace quorvel::modulefiles
