#include "picture/decoded_picture_source.h"

namespace tessaglyph {

PictureSourceResult DecodedPictureSource::From(DecodeResult result) {
  if (!result.Ok()) return PictureSourceResult::Failure(result.status, std::move(result.message));
  PictureSourceResult opened;
  opened.message = result.message;
  opened.source = std::make_unique<DecodedPictureSource>(std::move(result));
  return opened;
}

}  // namespace tessaglyph
