#include "support/core_bmp_reader.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

bool ReadBmp24(const std::string& path, CDib& dib) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    constexpr std::size_t kHeaders = 14 + 40;
    if (bytes.size() < kHeaders || bytes[0] != 'B' || bytes[1] != 'M' || Le32(bytes, 14) < 40 ||
        Le16(bytes, 28) != 24 || Le32(bytes, 30) != 0) {
        return false;
    }
    const auto width = static_cast<std::int32_t>(Le32(bytes, 18));
    const auto storedHeight = static_cast<std::int32_t>(Le32(bytes, 22));
    const bool topDown = storedHeight < 0;
    const std::int32_t height = topDown ? -storedHeight : storedHeight;
    const std::size_t offset = Le32(bytes, 10);
    const std::int32_t stride = CDib::Stride(24, width);
    if (width <= 0 || height <= 0 ||
        offset + static_cast<std::size_t>(stride) * height > bytes.size() ||
        !dib.Create(width, height, 24)) {
        return false;
    }
    for (std::int32_t k = 0; k < height; ++k) {
        const std::int32_t row = topDown ? height - 1 - k : k;
        std::memcpy(dib.Row(row), bytes.data() + offset + static_cast<std::size_t>(stride) * k,
                    static_cast<std::size_t>(stride));
    }
    return true;
}
