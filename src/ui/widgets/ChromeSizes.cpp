#include "ui/widgets/ChromeSizes.h"

#include <cmath>

int toolBarIconSize(int defaultHeight)
{
    return defaultHeight < 32 ? 32 : 64;
}

int scaledPointSize(double pointSize, double factor)
{
    return static_cast<int>(std::lround(pointSize * factor));
}

int logoPixmapHeight(int labelHeight)
{
    return scaledPointSize(labelHeight, 0.75);
}

int logoRightMargin(int labelHeight)
{
    return scaledPointSize(labelHeight - logoPixmapHeight(labelHeight), 0.5);
}
