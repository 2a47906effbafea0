#pragma once

#include <cstdint>

#include "imaging/dib.h"

// An off-screen 24-bit surface on which a picture is composed before it is shown: the owner
// gives its size, creates it, clears it, draws bitmaps into it (DrawDib) and paints it whole.
class CMemoryBitmap {
public:
    CMemoryBitmap() = default;
    virtual ~CMemoryBitmap() = default;
    CMemoryBitmap(const CMemoryBitmap&) = delete;
    CMemoryBitmap& operator=(const CMemoryBitmap&) = delete;

    // Makes the surface `width` x `height` at 24 bits; false when it cannot be made.
    [[nodiscard]] virtual bool CreateSurface(std::int32_t width, std::int32_t height);
    // Every byte of the pixel rows 0: black.
    void Clear();

    CDib& Bitmap() { return m_bitmap; }
    const CDib& Bitmap() const { return m_bitmap; }

private:
    CDib m_bitmap;
};
