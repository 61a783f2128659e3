#pragma once
// Palette reduction for the GIF and icon pictures.

#include "assets/encode.h"
#include "pictures/picture.h"

namespace assets {

// Reduces an opaque picture to at most `max_colours` colours. Same input, same
// output. Throws std::runtime_error if the quantiser fails.
IndexedImage Quantise(const pictures::Image& image, int max_colours);

}  // namespace assets
