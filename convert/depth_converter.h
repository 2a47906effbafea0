#pragma once

#include <cstdint>
#include <memory>

// Converts rows of raw pixels from one depth to another through a two-row grey accumulator:
// 24-bit colour to 4-, 2- or 1-bit grey with optional error diffusion, and a plain copy when both
// depths are equal. Rows are taken in storage order, each padded to a multiple of four bytes as in
// a CDib.
class CDepthConverter {
public:
    CDepthConverter();
    virtual ~CDepthConverter();
    CDepthConverter(const CDepthConverter&) = delete;
    CDepthConverter& operator=(const CDepthConverter&) = delete;

    // Strides, error mask and table, row buffer and accumulator. False when memory runs out.
    [[nodiscard]] bool Prepare();
    // Converts `rows` rows; a depth pair without a conversion writes nothing. Always true.
    bool Convert(const std::uint8_t* source, std::uint8_t* destination, std::int32_t rows);

    // How the error e of one pixel is shared out: to the right neighbour, and below-left,
    // below and below-right in the next row.
    struct CErrorShares {
        std::uint16_t right = 0;
        std::uint16_t belowLeft = 0;
        std::uint16_t below = 0;
        std::uint16_t belowRight = 0;
    };
    // Entry e of the prepared table; zeros before Prepare or past the error mask.
    CErrorShares ErrorShares(std::uint8_t error) const;

    std::uint8_t m_dither = 1;
    std::uint8_t m_errorMask = 0;
    std::uint8_t m_errorTableSize = 0;
    std::uint8_t m_sourceDepth = 0;
    std::uint8_t m_destinationDepth = 0;
    std::int32_t m_width = 0;
    std::int32_t m_sourceStride = 0;
    std::int32_t m_destinationStride = 0;

private:
    // Implementation details are the converter's own.
    struct Work;
    template <int kBits>
    void GreyRows(const std::uint8_t* source, std::uint8_t* destination, std::int32_t rows);

    std::unique_ptr<Work> m_work;
};
