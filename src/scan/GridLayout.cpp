#include "scan/GridLayout.h"

#include <algorithm>

std::vector<int> GridLayout::columnWidths(double scale, int clientWidth, const std::vector<int> &atLeast) const
{
    const size_t n = columns.size();
    std::vector<int> widths(n, 0);
    if (n == 0)
        return widths;
    const size_t shared = std::clamp<size_t>(size_t(std::max(restColumns, 1)), 1, n);
    int used = 0, grown = 0;
    for (size_t c = 0; c + shared < n; ++c) {
        const int scaled = int(columns[c].width96 * scale + 0.5);
        const int w = std::max(scaled, c < atLeast.size() ? atLeast[c] : 0);
        widths[c] = w;
        used += w;
        grown += w - scaled;
    }
    // Without a fixed allowance the others' widths and 25 pixels of border
    // and scroll bar come off.
    const int less = lastColumnLess >= 0 ? int(lastColumnLess * scale + 0.5) + grown : used + int(25 * scale + 0.5);
    const int rest = std::max(clientWidth - less, 16 * int(shared));
    for (size_t c = n - shared; c < n; ++c)
        widths[c] = std::max(rest / int(shared), 16);
    return widths;
}

double GridLayout::widthScale(double digitWidth, double logicalDpi)
{
    return std::max(logicalDpi / 96.0, digitWidth / 6.0);
}
