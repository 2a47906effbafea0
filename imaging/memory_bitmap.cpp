#include "imaging/memory_bitmap.h"

#include <cstring>

bool CMemoryBitmap::CreateSurface(std::int32_t width, std::int32_t height) {
    return m_bitmap.Create(width, height, 24);
}

void CMemoryBitmap::Clear() {
    if (m_bitmap.IsCreated()) {
        std::memset(m_bitmap.Pixels(), 0, m_bitmap.PixelBytes());
    }
}
