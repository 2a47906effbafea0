#pragma once

#include <QImage>

#include "imaging/dib.h"

// A 24-bit bitmap as an image to paint 1:1, top row first; a null image for bitmaps of other
// depths or none.
QImage DibToImage(const CDib& dib);
