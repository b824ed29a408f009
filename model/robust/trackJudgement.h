#pragma once
// Which tracks and shots stop counting once the raster is aligned. Judged any
// earlier, against a misplaced raster, a good track over steep ground looks
// as bad as a track that is truly off; once aligned, the good shots share one
// small spread, and a track whose errors sit far outside it is off as a whole.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalvex {

struct judgement {
    std::vector<std::size_t> silencedTracks;  // track indices whose weight becomes 0, ascending
    std::vector<double> silencedMedians;      // their median residuals
    std::vector<std::size_t> outliers;        // indices of shots to remove, ascending
    double spread = 0.0;                      // the robust standard deviation of the residuals kept
};

// trackOf and residuals hold one entry per shot; a NaN residual is a shot
// that is not judged (no model elevation, or a track that no longer counts).
// A track whose median residual lies more than four robust standard
// deviations of the shots from the median of the track medians is silenced;
// of the other tracks' shots, those more than five from their median are outliers.
judgement judgeTracks(const std::vector<std::int32_t>& trackOf, const std::vector<double>& residuals);

}  // namespace kalvex
