#include "convert/octree_quantizer.h"

#include <algorithm>
#include <new>

#include "convert/color_palette.h"

struct COctreeQuantizer::Node {
    std::uint8_t isLeaf = 0;
    std::uint8_t lastChild = 0;  // 1 + child index of the most recent insertion; 0 before any
    std::uint16_t paletteIndex = 0;
    std::uint32_t pixelCount = 0;
    std::uint32_t redSum = 0;
    std::uint32_t greenSum = 0;
    std::uint32_t blueSum = 0;
    Node* children[8] = {};
    Node* nextReducible = nullptr;
};

namespace {

int ChildIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int level) {
    const int bit = 7 - level;
    return (((red >> bit) & 1) << 2) | (((green >> bit) & 1) << 1) | ((blue >> bit) & 1);
}

}  // namespace

COctreeQuantizer::~COctreeQuantizer() {
    Release(m_root);
}

void COctreeQuantizer::Release(Node* node) {
    if (!node) {
        return;
    }
    for (Node* child : node->children) {
        Release(child);
    }
    delete node;
}

bool COctreeQuantizer::AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    Node** slot = &m_root;
    Node* path[kDepth] = {};
    int childIndex[kDepth] = {};
    int level = 0;
    for (;; ++level) {
        if (!*slot) {
            Node* node = new (std::nothrow) Node();
            if (!node) {
                return false;
            }
            if (level == kDepth) {
                node->isLeaf = 1;
                ++m_leafCount;
            } else {
                node->nextReducible = m_reducible[level];
                m_reducible[level] = node;
            }
            *slot = node;
        }
        Node* node = *slot;
        if (node->isLeaf) {
            ++node->pixelCount;
            node->redSum += red;
            node->greenSum += green;
            node->blueSum += blue;
            break;
        }
        path[level] = node;
        childIndex[level] = ChildIndex(red, green, blue, level);
        slot = &node->children[childIndex[level]];
    }
    // The branch is recorded only once the insertion has reached its leaf.
    for (int l = 0; l < level; ++l) {
        path[l]->lastChild = static_cast<std::uint8_t>(childIndex[l] + 1);
    }
    while (m_leafCount > m_colorBudget && Merge()) {
    }
    return true;
}

bool COctreeQuantizer::Merge() {
    int level = kDepth - 1;
    while (level > 0 && !m_reducible[level]) {
        --level;
    }
    Node* node = m_reducible[level];
    if (!node) {
        return false;  // a budget below one leaf: nothing is left to merge
    }
    m_reducible[level] = node->nextReducible;
    node->nextReducible = nullptr;
    int released = 0;
    for (Node*& child : node->children) {
        if (!child) {
            continue;
        }
        // The deepest reducible level is being merged, so every child is a leaf.
        node->pixelCount += child->pixelCount;
        node->redSum += child->redSum;
        node->greenSum += child->greenSum;
        node->blueSum += child->blueSum;
        Release(child);
        child = nullptr;
        ++released;
    }
    node->isLeaf = 1;
    m_leafCount += 1 - released;
    return true;
}

bool COctreeQuantizer::BuildPalette(CColorPalette& palette) {
    // The lookup table first: a refusal then leaves the palette as it was.
    std::unique_ptr<std::uint16_t[]> map(new (std::nothrow) std::uint16_t[kMapSize]);
    if (!map) {
        return false;
    }
    palette.SetCount(static_cast<std::uint16_t>(m_colorBudget));
    if (!palette.Allocate()) {
        return false;
    }
    std::uint16_t next = 0;
    NumberLeaves(m_root, next, palette);
    FillMap(m_root, 0, 0, 0, 0, map.get());
    m_map = std::move(map);
    return true;
}

void COctreeQuantizer::FillMap(const Node* node, int level, std::uint32_t red, std::uint32_t green,
                               std::uint32_t blue, std::uint16_t* map) const {
    // red, green and blue hold the top `level` of each channel's five bits. The walk takes
    // the turns that MapColorByDescent takes for every colour that starts with them.
    if (!node || node->isLeaf) {
        const std::uint16_t index = node ? node->paletteIndex : 0;
        const int freeBits = kDepth - level;
        const std::uint32_t span = 1u << freeBits;
        for (std::uint32_t r = red << freeBits; r < (red + 1) << freeBits; ++r) {
            for (std::uint32_t g = green << freeBits; g < (green + 1) << freeBits; ++g) {
                std::fill_n(map + ((r << 10) | (g << 5) | (blue << freeBits)), span, index);
            }
        }
        return;
    }
    for (int c = 0; c < 8; ++c) {
        const Node* child = node->children[c];
        if (!child && node->lastChild != 0) {
            child = node->children[node->lastChild - 1];
        }
        FillMap(child, level + 1, (red << 1) | ((c >> 2) & 1), (green << 1) | ((c >> 1) & 1),
                (blue << 1) | (c & 1), map);
    }
}

void COctreeQuantizer::NumberLeaves(Node* node, std::uint16_t& next, CColorPalette& palette) {
    if (!node) {
        return;
    }
    if (node->isLeaf) {
        node->paletteIndex = next++;
        if (node->pixelCount != 0) {
            palette.SetEntry(node->paletteIndex,
                             static_cast<std::uint8_t>(node->redSum / node->pixelCount),
                             static_cast<std::uint8_t>(node->greenSum / node->pixelCount),
                             static_cast<std::uint8_t>(node->blueSum / node->pixelCount));
        }
        return;
    }
    for (Node* child : node->children) {
        NumberLeaves(child, next, palette);
    }
}

std::uint16_t COctreeQuantizer::MapColorByDescent(std::uint8_t red, std::uint8_t green,
                                                  std::uint8_t blue) const {
    const Node* node = m_root;
    if (!node) {
        return 0;
    }
    for (int level = 0; !node->isLeaf; ++level) {
        const Node* child = node->children[ChildIndex(red, green, blue, level)];
        if (!child && node->lastChild != 0) {
            child = node->children[node->lastChild - 1];
        }
        if (!child) {
            return 0;  // only after a failed insertion, which ends the quantiser's use
        }
        node = child;
    }
    return node->paletteIndex;
}
