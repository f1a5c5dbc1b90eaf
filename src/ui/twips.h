#pragma once

#include <cmath>

// Window layouts are kept in twips, as they were designed: 15 to a pixel.
namespace Twips {
inline int toPixels(double twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}
}
