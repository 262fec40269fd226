#include "modulefiles/ModuleDescriptor.h"

#include <cstdio>

#include "frames/HostError.h"

namespace quorvel::modulefiles {

namespace {

std::uint32_t ReadU32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t ReadU16(std::span<const std::uint8_t> b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

constexpr std::uint32_t kVendor = 0x3842494D;  // '8BIM'

}  // namespace

std::string FourCCText(std::uint32_t code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        s += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return s;
}

std::uint32_t FourCCFromText(const char* text) {
    return std::uint32_t(std::uint8_t(text[0])) << 24 | std::uint32_t(std::uint8_t(text[1])) << 16 |
           std::uint32_t(std::uint8_t(text[2])) << 8 | std::uint32_t(std::uint8_t(text[3]));
}

std::string DescriptorProperty::KeyText() const { return FourCCText(key); }

std::string DescriptorProperty::ValueText() const {
    const std::string k = KeyText();
    auto pascal = [&]() -> std::string {
        if (data.empty() || data[0] + 1u > data.size()) return "(malformed string)";
        return "\"" + std::string(data.begin() + 1, data.begin() + 1 + data[0]) + "\"";
    };
    if (k == "name" || k == "catg" || k == "eMNA") return pascal();
    if (k == "8664") {
        std::string s;
        for (std::uint8_t c : data) {
            if (c == 0) break;
            s += char(c);
        }
        return "\"" + s + "\"";
    }
    if (k == "kind" && data.size() == 4) return "'" + FourCCText(ReadU32(data, 0)) + "'";
    if ((k == "ePVR" || k == "eSVR") && data.size() == 4) {
        return std::to_string(ReadU16(data, 0)) + "." + std::to_string(ReadU16(data, 2));
    }
    if (data.size() == 4) return Hex(ReadU32(data, 0));
    if (data.size() == 2) return std::to_string(ReadU16(data, 0));
    return std::to_string(data.size()) + " bytes";
}

const DescriptorProperty* Descriptor::Find(const char* key) const {
    const std::uint32_t code = FourCCFromText(key);
    for (const DescriptorProperty& p : properties) {
        if (p.key == code) return &p;
    }
    return nullptr;
}

std::optional<std::string> Descriptor::PascalString(const char* key) const {
    const DescriptorProperty* p = Find(key);
    if (p == nullptr || p->data.empty() || p->data[0] + 1u > p->data.size()) return std::nullopt;
    return std::string(p->data.begin() + 1, p->data.begin() + 1 + p->data[0]);
}

std::optional<std::string> Descriptor::CString(const char* key) const {
    const DescriptorProperty* p = Find(key);
    if (p == nullptr) return std::nullopt;
    std::string s;
    for (std::uint8_t c : p->data) {
        if (c == 0) return s;
        s += char(c);
    }
    return std::nullopt;  // not terminated inside its length
}

std::optional<std::uint32_t> Descriptor::Long(const char* key) const {
    const DescriptorProperty* p = Find(key);
    if (p == nullptr || p->data.size() != 4) return std::nullopt;
    return ReadU32(p->data, 0);
}

std::string Descriptor::EntryPointName() const { return CString("8664").value_or(""); }

Descriptor DecodeDescriptor(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 10)
        throw frames::HostError("descriptor is truncated: " + std::to_string(bytes.size()) + " bytes");
    if (ReadU16(bytes, 0) != 1) throw frames::HostError("descriptor does not start with the word 1");
    Descriptor d;
    d.list_version = ReadU32(bytes, 2);
    const std::uint32_t count = ReadU32(bytes, 6);
    std::size_t at = 10;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < 16) {
            throw frames::HostError("descriptor is truncated in property " + std::to_string(i + 1) + " of " +
                                    std::to_string(count));
        }
        DescriptorProperty p;
        p.offset = std::uint32_t(at);
        p.vendor = ReadU32(bytes, at);
        p.key = ReadU32(bytes, at + 4);
        p.id = ReadU32(bytes, at + 8);
        const std::uint32_t length = ReadU32(bytes, at + 12);
        if (p.vendor != kVendor) {
            throw frames::HostError("descriptor property " + std::to_string(i + 1) + " has vendor '" +
                                    FourCCText(p.vendor) + "', expected '8BIM'");
        }
        const std::size_t padded = (std::size_t(length) + 3) & ~std::size_t(3);
        if (bytes.size() - at - 16 < padded) {
            throw frames::HostError("descriptor property '" + FourCCText(p.key) +
                                    "' runs past the end of the resource");
        }
        p.data.assign(bytes.begin() + std::ptrdiff_t(at + 16), bytes.begin() + std::ptrdiff_t(at + 16 + length));
        d.properties.push_back(std::move(p));
        at += 16 + padded;
    }
    if (at != bytes.size()) {
        throw frames::HostError("descriptor has " + std::to_string(bytes.size() - at) + " stray bytes after its " +
                                std::to_string(count) + " properties");
    }
    return d;
}

void ValidateDescriptor(const Descriptor& d) {
    const auto kind = d.Long("kind");
    if (!kind) throw frames::HostError("descriptor has no 'kind' property");
    if (*kind != FourCCFromText("eFKT")) {
        throw frames::HostError("descriptor kind is '" + FourCCText(*kind) + "', not an effect ('eFKT')");
    }
    if (d.Find("8664") == nullptr) throw frames::HostError("descriptor names no x64 entry point ('8664')");
    const std::string entry = d.EntryPointName();
    if (!d.CString("8664") || entry.empty()) throw frames::HostError("descriptor's x64 entry point name is malformed");
    for (const char* key : {"ePVR", "eSVR"}) {
        if (!d.Long(key)) throw frames::HostError(std::string("descriptor has no valid '") + key + "' version");
    }
    const auto pipl_version = d.Long("ePVR");
    if ((*pipl_version & 0xFFFF) != 2) {
        throw frames::HostError("descriptor format version " + std::to_string(*pipl_version & 0xFFFF) +
                                " is not supported (expected 2)");
    }
    if (!d.Long("eVER")) throw frames::HostError("descriptor has no effect version ('eVER')");
    if (!d.PascalString("eMNA")) throw frames::HostError("descriptor has no match name ('eMNA')");
}

}  // namespace quorvel::modulefiles
