#include "imaging/dib_draw.h"

#include <cstring>

namespace {
constexpr int kBytesPerPixel = 3;
}  // namespace

QImage DibToImage(const CDib& dib) {
    if (!dib.IsCreated() || dib.BitsPerPixel() != 24) {
        return {};
    }
    QImage image(dib.Width(), dib.Height(), QImage::Format_BGR888);
    if (image.isNull()) {
        return {};
    }
    for (std::int32_t y = 0; y < dib.Height(); ++y) {
        // Storage row 0 is the bottom row of the picture.
        std::memcpy(image.scanLine(y), dib.Row(dib.Height() - 1 - y),
                    static_cast<std::size_t>(dib.Width()) * kBytesPerPixel);
    }
    return image;
}
