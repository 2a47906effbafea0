#pragma once

#include <cstdint>
#include <memory>

// A counted table of colours with a nearest-colour search. Each entry holds red, green, blue
// and, in its fourth byte, its own index (modulo 256).
class CColorPalette {
public:
    CColorPalette() = default;
    virtual ~CColorPalette() = default;
    CColorPalette(const CColorPalette&) = delete;
    CColorPalette& operator=(const CColorPalette&) = delete;

    // Makes `Count()` black entries. False for a count of 0 or when memory runs out.
    [[nodiscard]] virtual bool Allocate();

    void SetCount(std::uint16_t count) { m_count = count; }
    std::uint16_t Count() const { return m_count; }
    bool IsAllocated() const { return m_entries != nullptr; }

    // Indices past the table are ignored (reads give black).
    void SetEntry(std::uint16_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    void GetEntry(std::uint16_t index, std::uint8_t& red, std::uint8_t& green,
                  std::uint8_t& blue) const;
    // The entry with the smallest squared RGB distance; the lowest index wins a tie; 0 for an
    // empty palette.
    std::uint16_t FindNearest(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

protected:
    std::uint16_t m_count = 0;
    std::unique_ptr<std::uint8_t[]> m_entries;  // 4 bytes an entry: red, green, blue, index
    std::uint16_t m_allocated = 0;              // entries actually held
};
