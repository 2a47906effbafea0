#pragma once

#include <cstdint>
#include <memory>

class CColorPalette;

// A colour octree: collects sample colours, merges colour groups until at most a budget of
// leaves remains, writes the leaves' mean colours into a palette and maps any colour to the
// index of the leaf it reaches.
//
// Calling order: construct, set the budget, AddColor for every sample, BuildPalette, then
// MapColor as often as needed. No AddColor may follow BuildPalette.
class COctreeQuantizer {
public:
    // Level at which new nodes are leaves: leaves group colours by the top five bits of each
    // channel.
    static constexpr int kDepth = 5;
    static constexpr std::int32_t kDefaultColorBudget = 256;
    // Every colour with the same top five bits per channel walks the same path, so the
    // mapping is one lookup per 15-bit colour.
    static constexpr std::int32_t kMapSize = 1 << (3 * kDepth);

    COctreeQuantizer() = default;
    virtual ~COctreeQuantizer();
    COctreeQuantizer(const COctreeQuantizer&) = delete;
    COctreeQuantizer& operator=(const COctreeQuantizer&) = delete;

    void SetColorBudget(std::int32_t budget) { m_colorBudget = budget; }
    std::int32_t ColorBudget() const { return m_colorBudget; }
    std::int32_t LeafCount() const { return m_leafCount; }

    // Inserts one colour, then merges while the leaf count exceeds the budget. False when a
    // node cannot be allocated; the quantiser is then only fit to be destroyed.
    [[nodiscard]] bool AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

    // Sizes the palette to the budget, numbers the leaves depth-first and writes their mean
    // colours; entries past the last leaf stay black. False when memory runs out.
    [[nodiscard]] bool BuildPalette(CColorPalette& palette);

    // Palette index of the leaf the colour reaches: where the colour's branch is missing, the
    // branch of the most recent insertion through that node is taken. Answered from the table
    // filled by BuildPalette.
    std::uint16_t MapColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
        if (!m_map) {
            return MapColorByDescent(red, green, blue);
        }
        return m_map[MapKey(red, green, blue)];
    }

    // The same answer found by walking down the tree: the reference the table is held to.
    std::uint16_t MapColorByDescent(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

    // The whole table from BuildPalette, indexed by MapKey; null before it.
    const std::uint16_t* Map() const { return m_map.get(); }
    static constexpr std::uint32_t MapKey(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return ((static_cast<std::uint32_t>(red) >> 3) << 10) |
               ((static_cast<std::uint32_t>(green) >> 3) << 5) |
               (static_cast<std::uint32_t>(blue) >> 3);
    }

private:
    struct Node;

    bool Merge();
    static void Release(Node* node);
    void NumberLeaves(Node* node, std::uint16_t& next, CColorPalette& palette);
    void FillMap(const Node* node, int level, std::uint32_t red, std::uint32_t green,
                 std::uint32_t blue, std::uint16_t* map) const;

    Node* m_root = nullptr;
    Node* m_reducible[9] = {};  // per level, interior nodes newest first
    std::int32_t m_leafCount = 0;
    std::int32_t m_colorBudget = kDefaultColorBudget;
    std::unique_ptr<std::uint16_t[]> m_map;
};
