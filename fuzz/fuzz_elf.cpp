// Fuzz target: a Linux module file as the loader reads it before loading
// it: the descriptor section found through the section table, decoded and
// checked.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frames/HostError.h"
#include "modulefiles/ModuleDescriptor.h"
#include "modulefiles/ModuleFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel::frames;
    using namespace quorvel::modulefiles;
    try {
        const Descriptor descriptor =
            DecodeDescriptor(DescriptorSectionOf(std::vector<std::uint8_t>(data, data + size), "fuzz.so"));
        ValidateDescriptor(descriptor);
        (void)descriptor.EntryPointName();
    } catch (const HostError&) {
    }
    return 0;
}
