#include "decode/drawing.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/byte_order.h"

namespace {

constexpr int kBytesPerPixel = 3;

// A 5-bit channel widened to the full 8-bit range, as the desktop shows 16-bit pixels.
constexpr std::uint8_t Widen5(std::uint32_t value) {
    return static_cast<std::uint8_t>((value << 3) | (value >> 2));
}

// Blue, green, red of every colour-table entry, for indexed bitmaps.
std::array<std::array<std::uint8_t, 3>, 256> TableColors(const CDib& bitmap) {
    std::array<std::array<std::uint8_t, 3>, 256> colors{};
    for (std::uint16_t i = 0; i < bitmap.ColorCount() && i < colors.size(); ++i) {
        const std::uint32_t rgb = bitmap.GetColor(i);
        colors[i] = {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                     static_cast<std::uint8_t>(rgb >> 16)};
    }
    return colors;
}

}  // namespace

void DrawDib(const CDib& bitmap, std::int32_t sx, std::int32_t sy, std::int32_t width,
             std::int32_t height, CDib& target, std::int32_t x, std::int32_t y) {
    if (!bitmap.IsCreated() || !target.IsCreated() || target.BitsPerPixel() != 24) {
        return;
    }
    // Clip the rectangle to both bitmaps.
    const std::int32_t left = std::max({0, -sx, -x});
    const std::int32_t top = std::max({0, -sy, -y});
    const std::int32_t right = std::min({width, bitmap.Width() - sx, target.Width() - x});
    const std::int32_t bottom = std::min({height, bitmap.Height() - sy, target.Height() - y});
    if (left >= right || top >= bottom) {
        return;
    }
    const int depth = bitmap.BitsPerPixel();
    const auto colors = TableColors(bitmap);
    for (std::int32_t row = top; row < bottom; ++row) {
        const std::uint8_t* in = bitmap.Row(bitmap.Height() - 1 - (sy + row));
        std::uint8_t* out =
            target.Row(target.Height() - 1 - (y + row)) + kBytesPerPixel * (x + left);
        for (std::int32_t column = sx + left; column < sx + right;
             ++column, out += kBytesPerPixel) {
            switch (depth) {
                case 4: {
                    const std::uint8_t pair = in[column / 2];
                    const auto& c = colors[column % 2 == 0 ? pair >> 4 : pair & 0x0F];
                    std::memcpy(out, c.data(), kBytesPerPixel);
                    break;
                }
                case 8:
                    std::memcpy(out, colors[in[column]].data(), kBytesPerPixel);
                    break;
                case 16: {
                    const std::uint16_t word = LoadLittleEndian16(in + 2 * column);
                    out[0] = Widen5(word & 0x1F);
                    out[1] = Widen5((word >> 5) & 0x1F);
                    out[2] = Widen5((word >> 10) & 0x1F);
                    break;
                }
                case 24:
                case 32:
                    std::memcpy(out, in + column * (depth / 8), kBytesPerPixel);
                    break;
                default:
                    std::memset(out, 0, kBytesPerPixel);
                    break;
            }
        }
    }
}

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

QImage RgbImageToQImage(const CRgbImage& image) {
    QImage out(image.width, image.height, QImage::Format_RGB888);
    if (out.isNull() ||
        image.rgb.size() < static_cast<std::size_t>(image.width) * image.height * 3) {
        return {};
    }
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(out.scanLine(y),
                    image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3,
                    static_cast<std::size_t>(image.width) * 3);
    }
    return out;
}
