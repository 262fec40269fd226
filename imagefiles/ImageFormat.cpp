#include "imagefiles/ImageFormat.h"

#include <algorithm>

namespace quorvel::imagefiles {

std::string_view ChannelTypeName(ChannelType type) {
    switch (type) {
        case ChannelType::UInt8:
            return "uint8";
        case ChannelType::UInt10:
            return "uint10";
        case ChannelType::UInt12:
            return "uint12";
        case ChannelType::UInt16:
            return "uint16";
        case ChannelType::Half:
            return "half";
        case ChannelType::Float:
            return "float";
        case ChannelType::Other:
            break;
    }
    return "other";
}

std::optional<ChannelType> ParseChannelType(std::string_view text) {
    for (ChannelType t : {ChannelType::UInt8, ChannelType::UInt10, ChannelType::UInt12, ChannelType::UInt16,
                          ChannelType::Half, ChannelType::Float}) {
        if (text == ChannelTypeName(t)) return t;
    }
    return std::nullopt;
}

int ChannelTypeBytes(ChannelType type) {
    switch (type) {
        case ChannelType::UInt8:
            return 1;
        case ChannelType::UInt10:
        case ChannelType::UInt12:
        case ChannelType::UInt16:
        case ChannelType::Half:
            return 2;
        case ChannelType::Float:
        case ChannelType::Other:
            return 4;
    }
    return 4;
}

bool DeeperThan8Bits(ChannelType type) { return type != ChannelType::UInt8; }

std::string ChannelTypesText(const std::vector<ChannelType>& types) {
    std::vector<ChannelType> distinct;
    for (ChannelType t : types) {
        if (std::find(distinct.begin(), distinct.end(), t) == distinct.end()) distinct.push_back(t);
    }
    std::string text;
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == distinct.size() ? " and " : ", ") + std::string(ChannelTypeName(distinct[i]));
    }
    return text;
}

}  // namespace quorvel::imagefiles
