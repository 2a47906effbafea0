#include "convert/color_palette.h"

#include <new>

bool CColorPalette::Allocate() {
    // A refused allocation leaves an empty palette, not the entries of an earlier one.
    m_entries.reset();
    m_allocated = 0;
    if (m_count == 0) {
        return false;
    }
    std::unique_ptr<std::uint8_t[]> entries(new (std::nothrow) std::uint8_t[4u * m_count]());
    if (!entries) {
        return false;
    }
    for (std::uint32_t i = 0; i < m_count; ++i) {
        entries[4 * i + 3] = static_cast<std::uint8_t>(i);
    }
    m_entries = std::move(entries);
    m_allocated = m_count;
    return true;
}

void CColorPalette::SetEntry(std::uint16_t index, std::uint8_t red, std::uint8_t green,
                             std::uint8_t blue) {
    if (index >= m_allocated) {
        return;
    }
    std::uint8_t* e = &m_entries[4u * index];
    e[0] = red;
    e[1] = green;
    e[2] = blue;
}

void CColorPalette::GetEntry(std::uint16_t index, std::uint8_t& red, std::uint8_t& green,
                             std::uint8_t& blue) const {
    if (index >= m_allocated) {
        red = green = blue = 0;
        return;
    }
    const std::uint8_t* e = &m_entries[4u * index];
    red = e[0];
    green = e[1];
    blue = e[2];
}

std::uint16_t CColorPalette::FindNearest(std::uint8_t red, std::uint8_t green,
                                         std::uint8_t blue) const {
    std::uint16_t best = 0;
    std::int32_t bestDistance = 2147483647;
    const std::uint16_t searched = m_count < m_allocated ? m_count : m_allocated;
    for (std::uint16_t i = 0; i < searched; ++i) {
        const std::uint8_t* e = &m_entries[4u * i];
        const std::int32_t dr = red - e[0];
        const std::int32_t dg = green - e[1];
        const std::int32_t db = blue - e[2];
        const std::int32_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {  // strictly smaller: the lowest index keeps a tie
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}
