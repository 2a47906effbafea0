#pragma once

#include <cstdint>

class CColorPalette;
class CDib;

// How each pixel's nearest colour is searched for. Every way gives the same pixels; the wider
// ones compare more colours at once and work several rows side by side.
enum class EDiffusionSearch {
    Plain,  // one row, one pixel at a time; lists searched four at once where SSE2 is built in
    Sse2,   // four colours at a time, six rows side by side
    Avx2,   // eight colours at a time, six rows side by side
};

// Whether this build, on this processor, can search that way.
bool CanSearchWith(EDiffusionSearch search);
// The fastest way there is here.
EDiffusionSearch FastestSearch();

// Error diffusion of a 24-bit picture into an 8-bit one of the same size, over the palette's
// first `leaves` entries (the colours made from the picture): each pixel takes the nearest of
// them by the sum of squared channel differences, the lowest index among equals; then half of
// each channel's error (the unclamped value less the colour taken, divided rounding toward
// zero) goes to the right, a quarter below-left and the rest below, rows in storage order.
// A way this processor cannot take is replaced by the plain one. False when memory runs out.
[[nodiscard]] bool DiffuseToPalette(const CDib& source, CDib& destination,
                                    const CColorPalette& palette, std::int32_t leaves,
                                    EDiffusionSearch search);
