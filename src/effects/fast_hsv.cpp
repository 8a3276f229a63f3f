#include "fast_hsv.h"

namespace lumavex::detail {

HsvTables::HsvTables()
{
    for (int max = 0; max < 256; ++max)
        for (int delta = 0; delta < 256; ++delta)
            saturation[max][delta] =
                delta == 0 || delta > max
                    ? 0
                    : static_cast<int16_t>(roundHalfEven(static_cast<double>(delta) /
                                                         static_cast<double>(max) * 10000.0));
    // RGBToHSV's h for each case, then the hue's sixths as HSVToRGB recovers them from h x 60,
    // with a full turn added below 0.
    auto sixths = [](int64_t h) { return static_cast<uint16_t>(h < 0 ? h + 60000 : h); };
    for (int delta = 1; delta < 256; ++delta) {
        const double d = delta;
        for (int num = -delta; num <= delta; ++num) {
            const int at = delta * delta + num + delta;
            const double ratio = static_cast<double>(num) / d;
            hue[0][at] = sixths(roundHalfEven(ratio * 10000.0));
            hue[1][at] = sixths(roundHalfEven((ratio + 2.0) * 10000.0));
            hue[2][at] = sixths(roundHalfEven((ratio + 4.0) * 10000.0));
        }
    }
}

const HsvTables& hsvTables()
{
    static const HsvTables tables;
    return tables;
}

}  // namespace lumavex::detail
