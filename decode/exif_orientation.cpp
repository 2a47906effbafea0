#include "decode/exif_orientation.h"

#include <cstring>

#include "imaging/byte_order.h"

namespace {

constexpr std::uint8_t kExifSignature[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;
constexpr std::size_t kEntrySize = 12;

// The TIFF structure inside the block, in the byte order its header names.
class CTiffBytes {
public:
    CTiffBytes(const std::uint8_t* data, std::size_t size, bool bigEndian)
        : m_data(data), m_size(size), m_bigEndian(bigEndian) {}

    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    std::uint16_t Load16(std::size_t offset) const {
        return m_bigEndian ? LoadBigEndian16(m_data + offset) : LoadLittleEndian16(m_data + offset);
    }
    std::uint32_t Load32(std::size_t offset) const {
        return m_bigEndian ? LoadBigEndian32(m_data + offset) : LoadLittleEndian32(m_data + offset);
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_bigEndian;
};

}  // namespace

int ExifOrientation(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < sizeof kExifSignature + 8 ||
        std::memcmp(data, kExifSignature, sizeof kExifSignature) != 0) {
        return 1;
    }
    const std::uint8_t* tiff = data + sizeof kExifSignature;
    const std::size_t tiffSize = size - sizeof kExifSignature;
    bool bigEndian = false;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        bigEndian = true;
    } else if (tiff[0] != 'I' || tiff[1] != 'I') {
        return 1;
    }
    const CTiffBytes bytes(tiff, tiffSize, bigEndian);
    if (bytes.Load16(2) != 42) {
        return 1;
    }
    const std::size_t directory = bytes.Load32(4);  // the first image's tags
    if (!bytes.Has(directory, 2)) {
        return 1;
    }
    const std::size_t count = bytes.Load16(directory);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 2 + i * kEntrySize;
        if (!bytes.Has(entry, kEntrySize)) {
            return 1;
        }
        if (bytes.Load16(entry) == kOrientationTag) {
            const int value = bytes.Load16(entry + 8);
            const bool valid = bytes.Load16(entry + 2) == kShortType && value >= 1 && value <= 8;
            return valid ? value : 1;
        }
    }
    return 1;
}
