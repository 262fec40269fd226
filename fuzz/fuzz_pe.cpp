// Fuzz target: a Windows module file as `inspect` and the loader read it
// before anything of it is loaded: headers, exports, imports, the resource
// tree, and the descriptor resource decoded and checked.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frames/HostError.h"
#include "modulefiles/ModuleDescriptor.h"
#include "modulefiles/ModuleFile.h"
#include "modulefiles/PeImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel::frames;
    using namespace quorvel::modulefiles;
    try {
        const PeImage image(std::vector<std::uint8_t>(data, data + size));
        (void)image.Summary();
        for (const PeResource& r : image.resources()) {
            if (image.Data(r).size() != r.size) __builtin_trap();
        }
        const Descriptor descriptor = DecodeDescriptor(DescriptorResourceOf(image, "fuzz.dll"));
        ValidateDescriptor(descriptor);
        (void)descriptor.EntryPointName();
    } catch (const HostError&) {
    }
    return 0;
}
