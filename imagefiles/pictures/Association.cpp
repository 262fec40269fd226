#include "imagefiles/pictures/Association_pvt.h"

namespace quorvel::sim::pictures {

bool StoresPremultiplied(const std::string& file_format) {
    return file_format == "openexr" || file_format == "dpx" || file_format == "cineon";
}

}  // namespace quorvel::sim::pictures
