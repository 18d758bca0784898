#include "pixel_source.h"

namespace tessaglyph {

namespace {
const std::string kNone;
}

const std::string& PixelSource::Warning() const { return kNone; }

const std::string& PixelSource::Error() const { return kNone; }

}  // namespace tessaglyph
