#include "convert/depth_converter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/dib.h"

struct CDepthConverter::Work {
    std::unique_ptr<CErrorShares[]> errorTable;
    std::unique_ptr<std::uint8_t[]> rowBuffer;  // one destination row, padding kept zero
    std::unique_ptr<std::uint16_t[]> accumulator;
    std::uint16_t* current = nullptr;  // C: this row's values and the error carried into it
    std::uint16_t* next = nullptr;     // N: error carried into the next row, zero at row start
};

namespace {

// Error masks by destination depth: the bits a packer's truncation drops.
std::uint8_t ErrorMaskFor(std::uint8_t destinationDepth) {
    switch (destinationDepth) {
        case 1:
            return 127;
        case 2:
            return 63;
        case 4:
            return 15;
        default:
            return 0;
    }
}

// Weights sum to 7/8, so white is 221.
inline std::uint32_t Grey(const std::uint8_t* bgr) {
    return (bgr[2] >> 2) + (bgr[1] >> 1) + (bgr[0] >> 3);
}

}  // namespace

CDepthConverter::CDepthConverter() = default;
CDepthConverter::~CDepthConverter() = default;

bool CDepthConverter::Prepare() {
    if (m_width < 0) {
        return false;
    }
    m_sourceStride = CDib::Stride(m_sourceDepth, m_width);
    m_destinationStride = CDib::Stride(m_destinationDepth, m_width);
    m_errorMask = ErrorMaskFor(m_destinationDepth);
    m_errorTableSize = static_cast<std::uint8_t>(m_errorMask + 1);

    std::unique_ptr<Work> work(new (std::nothrow) Work());
    if (!work) {
        return false;
    }
    work->errorTable.reset(new (std::nothrow) CErrorShares[m_errorTableSize]);
    work->rowBuffer.reset(new (std::nothrow) std::uint8_t[m_destinationStride]());
    if (!work->errorTable || !work->rowBuffer) {
        return false;
    }
    for (std::uint32_t e = 0; e <= m_errorMask; ++e) {
        CErrorShares& shares = work->errorTable[e];
        shares.right = static_cast<std::uint16_t>((7 * e) >> 4);
        shares.belowLeft = static_cast<std::uint16_t>((3 * e) >> 4);
        shares.below = static_cast<std::uint16_t>((5 * e) >> 4);
        // The last share takes the rounding remainder, so no error is lost.
        shares.belowRight =
            static_cast<std::uint16_t>(e - shares.right - shares.belowLeft - shares.below);
    }
    const std::size_t cells = 2 * static_cast<std::size_t>(m_width);
    work->accumulator.reset(new (std::nothrow) std::uint16_t[cells]());
    if (!work->accumulator) {
        return false;
    }
    work->current = work->accumulator.get();
    work->next = work->current + m_width;
    m_work = std::move(work);
    return true;
}

CDepthConverter::CErrorShares CDepthConverter::ErrorShares(std::uint8_t error) const {
    if (!m_work || error > m_errorMask) {
        return {};
    }
    return m_work->errorTable[error];
}

namespace {

// Packs one level into the row; levels fill each byte from its high bits.
template <int kBits>
struct Packer {
    static constexpr int kShift = 8 - kBits;
    static constexpr std::uint32_t kMaxLevel = (1u << kBits) - 1;
    static constexpr int kPerByte = 8 / kBits;

    explicit Packer(std::uint8_t* out) : out_(out) {}
    static std::uint32_t Level(std::uint32_t v) { return std::min(v >> kShift, kMaxLevel); }
    void Put(std::uint32_t v) {
        bits_ = (bits_ << kBits) | Level(v);
        if (++filled_ == kPerByte) {
            *out_++ = static_cast<std::uint8_t>(bits_);
            bits_ = 0;
            filled_ = 0;
        }
    }
    void Finish() {
        if (filled_ != 0) {
            *out_ = static_cast<std::uint8_t>(bits_ << (kBits * (kPerByte - filled_)));
        }
    }

    std::uint8_t* out_;
    std::uint32_t bits_ = 0;
    int filled_ = 0;
};

}  // namespace

template <int kBits>
void CDepthConverter::GreyRows(const std::uint8_t* source, std::uint8_t* destination,
                               std::int32_t rows) {
    Work& w = *m_work;
    const std::int32_t width = m_width;
    const std::uint32_t mask = m_errorMask;
    const CErrorShares* table = w.errorTable.get();
    for (std::int32_t row = 0; row < rows; ++row) {
        std::uint16_t* c = w.current;
        std::uint16_t* n = w.next;
        Packer<kBits> packer(w.rowBuffer.get());
        if (m_dither && width > 0) {
            // One pass: C[x] is final once the right share of x - 1 has arrived, and N[x - 1]
            // once x has given its below-left share.
            std::uint32_t v = c[0] + Grey(source);
            std::uint32_t left = 0;  // N[x - 1] so far
            std::uint32_t here = 0;  // N[x] so far
            for (std::int32_t x = 0; x < width; ++x) {
                const CErrorShares& s = table[v & mask];
                packer.Put(v);
                if (x > 0) {
                    n[x - 1] = static_cast<std::uint16_t>(left + s.belowLeft);
                }
                left = here + s.below;
                here = s.belowRight;
                if (x + 1 < width) {
                    v = c[x + 1] + Grey(source + 3 * (x + 1)) + s.right;
                }
            }
            n[width - 1] = static_cast<std::uint16_t>(left);
        } else {
            for (std::int32_t x = 0; x < width; ++x) {
                packer.Put(c[x] + Grey(source + 3 * x));
            }
        }
        packer.Finish();
        std::memcpy(destination, w.rowBuffer.get(), static_cast<std::size_t>(m_destinationStride));
        // N becomes C; the old C is cleared to serve as the next N.
        std::swap(w.current, w.next);
        std::fill_n(w.next, width, std::uint16_t{0});
        source += m_sourceStride;
        destination += m_destinationStride;
    }
}

bool CDepthConverter::Convert(const std::uint8_t* source, std::uint8_t* destination,
                              std::int32_t rows) {
    if (!m_work || !source || !destination) {
        return true;
    }
    if (m_sourceDepth == m_destinationDepth) {
        for (std::int32_t row = 0; row < rows; ++row) {
            std::memcpy(destination, source, static_cast<std::size_t>(m_sourceStride));
            source += m_sourceStride;
            destination += m_destinationStride;
        }
        return true;
    }
    if (m_sourceDepth != 24) {
        return true;  // indexed and 16-bit sources are never converted here
    }
    switch (m_destinationDepth) {
        case 4:
            GreyRows<4>(source, destination, rows);
            break;
        case 2:
            GreyRows<2>(source, destination, rows);
            break;
        case 1:
            GreyRows<1>(source, destination, rows);
            break;
        default:
            break;
    }
    return true;
}
