#include "model/robust/robustObjective.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/raster/localPlane.h"

namespace kalvex {

namespace {

// Refits of the plane to the best share of its own residuals: the first plane
// still leans towards the bad shots, the second hardly, the third not at all
// in practice.
constexpr int refits = 2;

// Below this share of the product of its diagonal the normal matrix is
// singular in all but rounding: the shots lie along one line.
constexpr double singularShare = 1e-9;

struct plane {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double at(double u, double v) const { return a * u + b * v + c; }
};

// The errors of the shots that have a model elevation, with their plane
// coordinates, and the squared residuals from the latest plane. A search
// measures thousands of candidates one after another on each thread, so each
// thread keeps one of these and only ever grows it.
struct errorSample {
    std::vector<double> error;
    std::vector<std::uint32_t> shot;  // its plane coordinates are those of this shot
    std::vector<double> squares;
    std::vector<double> ranked;  // a copy of squares that the selection reorders
    std::vector<std::uint32_t> members;
    std::size_t count = 0;
    const double* shotU = nullptr;
    const double* shotV = nullptr;

    double u(std::size_t i) const { return shotU[shot[i]]; }
    double v(std::size_t i) const { return shotV[shot[i]]; }
    void makeRoomFor(std::size_t shots) {
        if (error.size() >= shots) return;
        for (std::vector<double>* buffer : {&error, &squares, &ranked}) buffer->resize(shots);
        shot.resize(shots);
        members.resize(shots);
    }
};

errorSample& threadSample() {
    thread_local errorSample sample;
    return sample;
}

// The sums of the least-squares plane.
struct planeSums {
    double suu = 0, suv = 0, su = 0, svv = 0, sv = 0, sue = 0, sve = 0, se = 0, n = 0;

    void add(const errorSample& sample, std::size_t i) {
        const double u = sample.u(i), v = sample.v(i), e = sample.error[i];
        suu += u * u, suv += u * v, su += u, svv += v * v, sv += v;
        sue += u * e, sve += v * e, se += e, n += 1.0;
    }

    // By Cramer's rule on numbers near 1; shots along one line get the level
    // through their mean instead.
    plane solve() const {
        const double det = suu * (svv * n - sv * sv) - suv * (suv * n - sv * su) + su * (suv * sv - svv * su);
        if (!(std::fabs(det) > singularShare * suu * svv * n)) return plane{0.0, 0.0, n > 0 ? se / n : 0.0};
        const double a = sue * (svv * n - sv * sv) - suv * (sve * n - sv * se) + su * (sve * sv - svv * se);
        const double b = suu * (sve * n - se * sv) - sue * (suv * n - sv * su) + su * (suv * se - sve * su);
        const double c = suu * (svv * se - sve * sv) - suv * (suv * se - sve * su) + sue * (suv * sv - svv * su);
        return plane{a / det, b / det, c / det};
    }
};

plane fitAll(const errorSample& sample) {
    planeSums sums;
    for (std::size_t i = 0; i < sample.count; ++i) sums.add(sample, i);
    return sums.solve();
}

// The bits of a square read as an unsigned number: a square is never
// negative, and the bits of doubles that are not order as the numbers do.
std::uint64_t bitsOf(double square) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &square, sizeof bits);
    return bits;
}

// Of the first count values, moves those whose bits have digit (11 bits from
// shift) equal to the digit of the rank-th smallest to the front, and
// returns how many they are; rank becomes the wanted one's rank among them.
std::size_t narrowByDigit(std::vector<double>& values, std::size_t count, int shift, std::size_t& rank) {
    constexpr std::size_t digits = 2048;
    std::array<std::uint32_t, digits> counts{};
    for (std::size_t i = 0; i < count; ++i) ++counts[(bitsOf(values[i]) >> shift) % digits];
    std::size_t digit = 0;
    while (rank >= counts[digit]) rank -= counts[digit++];
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double value = values[i];
        values[kept] = value;
        kept += (bitsOf(value) >> shift) % digits == digit ? 1 : 0;
    }
    return kept;
}

// The squared residuals from the plane, and the kept-th smallest of them.
double rankResiduals(errorSample& sample, const plane& surface, std::size_t kept) {
    for (std::size_t i = 0; i < sample.count; ++i) {
        const double residual = sample.error[i] - surface.at(sample.u(i), sample.v(i));
        sample.squares[i] = residual * residual;
    }
    std::copy(sample.squares.begin(), sample.squares.begin() + std::ptrdiff_t(sample.count), sample.ranked.begin());
    return smallestSquare(sample.ranked, sample.count, kept - 1);
}

// The plane of the kept members: those below the threshold and, of those
// equal to it, the first ones in shot order.
plane fitKept(errorSample& sample, std::size_t kept, double threshold) {
    std::size_t members = 0;
    for (std::size_t i = 0; i < sample.count; ++i) {
        sample.members[members] = std::uint32_t(i);
        members += sample.squares[i] < threshold ? 1 : 0;
    }
    for (std::size_t i = 0; i < sample.count && members < kept; ++i)
        if (sample.squares[i] == threshold) sample.members[members++] = std::uint32_t(i);
    planeSums sums;
    for (std::size_t k = 0; k < members; ++k) sums.add(sample, sample.members[k]);
    return sums.solve();
}

// A shot without a model elevation is written too but not counted, so that
// the loop has no branch; its node is then a safe one to read.
errorSample& sampleErrors(const elevationRaster& raster, const robustShots& shots, const std::vector<double>& columns,
                          const std::vector<double>& rows, const cellMap& map) {
    errorSample& sample = threadSample();
    const std::size_t count = columns.size();
    sample.makeRoomFor(count);
    sample.shotU = shots.u.data();
    sample.shotV = shots.v.data();
    const float* cells = raster.cells.data();
    const std::size_t width = raster.width;
    // The nodes with eight neighbours, offset by half a cell so that truncation rounds to the nearest.
    const double columnEnd = double(raster.width) - 1.0, rowEnd = double(raster.height) - 1.0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double column = map.columnPerColumn * columns[i] + map.columnPerRow * rows[i] + map.column;
        const double row = map.rowPerColumn * columns[i] + map.rowPerRow * rows[i] + map.row;
        const double columnHalf = column + 0.5, rowHalf = row + 0.5;
        const bool inside = columnHalf >= 1.0 && columnHalf < columnEnd && rowHalf >= 1.0 && rowHalf < rowEnd;
        const std::size_t c = std::size_t(inside ? columnHalf : 1.0), r = std::size_t(inside ? rowHalf : 1.0);
        const double elevation = neighbourPlaneAt(cells + (r - 1) * width + (c - 1), width, column - double(c),
                                                  row - double(r));
        const double error = shots.elevation[i] - elevation;
        sample.error[n] = error;
        sample.shot[n] = std::uint32_t(i);
        n += inside && std::isfinite(error) ? 1 : 0;
    }
    sample.count = n;
    return sample;
}

struct robustFit {
    robustMeasure measure;
    plane surface;
};

robustFit fitRobustly(errorSample& sample, double keptShare) {
    const std::size_t count = sample.count;
    robustFit fit;
    if (count == 0) return fit;
    const std::size_t kept = std::max<std::size_t>(1, std::size_t(std::ceil(keptShare * double(count))));
    fit.surface = fitAll(sample);
    for (int refit = 0; refit < refits; ++refit)
        fit.surface = fitKept(sample, kept, rankResiduals(sample, fit.surface, kept));
    const double threshold = rankResiduals(sample, fit.surface, kept);
    // The kept smallest squares: all below the threshold, and as many equal to it as make up the count.
    double sum = 0.0;
    std::size_t below = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const bool under = sample.squares[i] < threshold;
        sum += under ? sample.squares[i] : 0.0;
        below += under ? 1 : 0;
    }
    sum += double(kept - below) * threshold;
    fit.measure = robustMeasure{std::sqrt(sum / double(kept)), kept, count};
    return fit;
}

}  // namespace

// A full ordering would cost many times a pass over the values: by the top
// eleven bits (the binade), then the next eleven, only a few are left to order.
double smallestSquare(std::vector<double>& squares, std::size_t count, std::size_t rank) {
    // Few values are ordered sooner than the digits are counted.
    constexpr std::size_t fewValues = 4096;
    if (count > fewValues) {
        count = narrowByDigit(squares, count, 52, rank);
        count = narrowByDigit(squares, count, 41, rank);
    }
    std::nth_element(squares.begin(), squares.begin() + std::ptrdiff_t(rank), squares.begin() + std::ptrdiff_t(count));
    return squares[rank];
}

robustShots countedShots(const std::vector<molaPoint>& points, const trackWeightList& weights,
                         double keptShare) {
    robustShots shots;
    shots.keptShare = keptShare;
    double sumX = 0.0, sumY = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!(weights.of(points[i].trackIndex) > 0.0)) continue;
        shots.x.push_back(points[i].x);
        shots.y.push_back(points[i].y);
        shots.elevation.push_back(points[i].elevation);
        shots.source.push_back(i);
        sumX += points[i].x;
        sumY += points[i].y;
    }
    const double count = double(shots.x.size());
    const double meanX = count > 0 ? sumX / count : 0.0;
    const double meanY = count > 0 ? sumY / count : 0.0;
    double largest = 0.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i)
        largest = std::fmax(largest, std::fmax(std::fabs(shots.x[i] - meanX), std::fabs(shots.y[i] - meanY)));
    const double scale = largest > 0.0 && std::isfinite(largest) ? largest : 1.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i) {
        shots.u.push_back((shots.x[i] - meanX) / scale);
        shots.v.push_back((shots.y[i] - meanY) / scale);
    }
    return shots;
}

robustShots turnedShots(const robustShots& shots, double angle, double pivotX, double pivotY) {
    robustShots turned = shots;
    const double s = std::sin(angle * pi / 180.0);
    const double c = std::cos(angle * pi / 180.0);
    for (std::size_t i = 0; i < shots.x.size(); ++i) {
        const double east = shots.x[i] - pivotX;
        const double north = shots.y[i] - pivotY;
        turned.x[i] = pivotX + c * east - s * north;
        turned.y[i] = pivotY + s * east + c * north;
    }
    return turned;
}

robustShots shotSubset(const robustShots& shots, const std::vector<std::size_t>& indices) {
    robustShots subset;
    subset.keptShare = shots.keptShare;
    for (std::size_t i : indices) {
        subset.x.push_back(shots.x[i]);
        subset.y.push_back(shots.y[i]);
        subset.elevation.push_back(shots.elevation[i]);
        subset.u.push_back(shots.u[i]);
        subset.v.push_back(shots.v[i]);
        subset.source.push_back(shots.source[i]);
    }
    return subset;
}

robustShots thinnedShots(const robustShots& shots, std::size_t most) {
    const std::size_t count = shots.x.size();
    const std::size_t stride = most > 0 && count > most ? (count + most - 1) / most : 1;
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < count; i += stride) indices.push_back(i);
    return shotSubset(shots, indices);
}

robustPlacement::robustPlacement(const elevationRaster& raster, const robustShots& shots)
    : raster(raster), shots(shots) {
    const geoTransform& t = raster.transform;
    const double det = t.determinant();
    // Without a node that has eight neighbours, or without a georeference to
    // solve, no shot has a model elevation: none is placed.
    if (raster.width < 3 || raster.height < 3 || raster.cells.size() < std::size_t(raster.width) * raster.height ||
        det == 0.0 || !std::isfinite(det))
        return;
    columns.reserve(shots.x.size());
    rows.reserve(shots.x.size());
    for (std::size_t i = 0; i < shots.x.size(); ++i) {
        const double u = shots.x[i] - t[0];
        const double v = shots.y[i] - t[3];
        columns.push_back((u * t[5] - v * t[2]) / det);
        rows.push_back((v * t[1] - u * t[4]) / det);
    }
}

cellMap robustPlacement::translationMap(double dx, double dy) const {
    const geoTransform& t = raster.transform;
    const double det = t.determinant();
    return {1.0, 0.0, -(dx * t[5] - dy * t[2]) / det, 0.0, 1.0, -(dy * t[1] - dx * t[4]) / det};
}

// Turning the shots about the pivot P is, in cells, the map A^-1 R A with the
// offset A^-1 (I - R) (P - T), for the georeference's matrix A and origin T.
cellMap robustPlacement::turnMap(double angle, double pivotX, double pivotY) const {
    const geoTransform& t = raster.transform;
    const double s = std::sin(angle * pi / 180.0);
    const double c = std::cos(angle * pi / 180.0);
    const double det = t.determinant();
    // R A, then A^-1 of that.
    const double ra11 = c * t[1] - s * t[4], ra12 = c * t[2] - s * t[5];
    const double ra21 = s * t[1] + c * t[4], ra22 = s * t[2] + c * t[5];
    const double px = pivotX - t[0], py = pivotY - t[3];
    const double wx = px - (c * px - s * py), wy = py - (s * px + c * py);
    return {(t[5] * ra11 - t[2] * ra21) / det, (t[5] * ra12 - t[2] * ra22) / det, (t[5] * wx - t[2] * wy) / det,
            (t[1] * ra21 - t[4] * ra11) / det, (t[1] * ra22 - t[4] * ra12) / det, (t[1] * wy - t[4] * wx) / det};
}

robustMeasure robustPlacement::measure(const cellMap& map) const {
    return fitRobustly(sampleErrors(raster, shots, columns, rows, map), shots.keptShare).measure;
}

namespace {

// A box of cells, from the first to the last column and row, inclusive.
struct cellBox {
    std::size_t left = 1, right = 0, top = 1, bottom = 0;  // empty

    bool holds(const cellBox& inner) const {
        return left <= inner.left && inner.right <= right && top <= inner.top && inner.bottom <= bottom;
    }
};

bool everyCellModelled(const elevationRaster& raster, const cellBox& box) {
    for (std::size_t r = box.top; r <= box.bottom; ++r) {
        const float* row = raster.cells.data() + r * raster.width;
        for (std::size_t c = box.left; c <= box.right; ++c)
            if (!std::isfinite(row[c])) return false;
    }
    return true;
}

// Shots along a track ask about nearly the same box one after another, so a
// box found modelled is kept, grown by a margin, and a box inside it needs
// no look at the cells. Near cells without data the grown box seldom holds:
// it is tried again only after a while.
class modelledCells {
public:
    explicit modelledCells(const elevationRaster& raster) : raster(raster) {}

    // Every node nearest to a position between the first and last columns
    // and rows has eight neighbours on the raster, and none of them is
    // without data.
    bool nodesModelled(double firstColumn, double lastColumn, double firstRow, double lastRow) {
        constexpr double mostNodes = 4096.0;
        const double left = std::floor(firstColumn + 0.5), right = std::floor(lastColumn + 0.5);
        const double top = std::floor(firstRow + 0.5), bottom = std::floor(lastRow + 0.5);
        if (!(left >= 1.0 && top >= 1.0 && right <= double(raster.width) - 2.0 && bottom <= double(raster.height) - 2.0))
            return false;
        if ((right - left + 1.0) * (bottom - top + 1.0) > mostNodes) return false;
        const cellBox cells{std::size_t(left) - 1, std::size_t(right) + 1, std::size_t(top) - 1,
                            std::size_t(bottom) + 1};
        if (known.holds(cells)) return true;
        if (untilGrowing == 0) {
            const cellBox grown{cells.left - std::min(cells.left, margin),
                                std::min(cells.right + margin, std::size_t(raster.width) - 1),
                                cells.top - std::min(cells.top, margin),
                                std::min(cells.bottom + margin, std::size_t(raster.height) - 1)};
            if (everyCellModelled(raster, grown)) {
                known = grown;
                return true;
            }
            untilGrowing = pauseAfterFailure;
        } else {
            --untilGrowing;
        }
        if (!everyCellModelled(raster, cells)) return false;
        known = cells;
        return true;
    }

private:
    static constexpr std::size_t margin = 8;
    static constexpr int pauseAfterFailure = 32;

    const elevationRaster& raster;
    cellBox known;
    int untilGrowing = 0;
};

}  // namespace

std::vector<std::size_t> robustPlacement::modelledThroughout(const std::vector<cellMap>& maps, double pad) const {
    std::vector<std::size_t> modelled;
    if (maps.empty()) return modelled;
    modelledCells cells(raster);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        double firstColumn = HUGE_VAL, lastColumn = -HUGE_VAL, firstRow = HUGE_VAL, lastRow = -HUGE_VAL;
        for (const cellMap& map : maps) {
            const double column = map.columnPerColumn * columns[i] + map.columnPerRow * rows[i] + map.column;
            const double row = map.rowPerColumn * columns[i] + map.rowPerRow * rows[i] + map.row;
            // As fmin and fmax, a position that is no number leaves the box as it was.
            firstColumn = std::min(firstColumn, column), lastColumn = std::max(lastColumn, column);
            firstRow = std::min(firstRow, row), lastRow = std::max(lastRow, row);
        }
        if (cells.nodesModelled(firstColumn - pad, lastColumn + pad, firstRow - pad, lastRow + pad))
            modelled.push_back(i);
    }
    return modelled;
}

std::size_t robustPlacement::modelledCount(const cellMap& map) const {
    if (columns.empty()) return 0;
    return sampleErrors(raster, shots, columns, rows, map).count;
}

std::vector<double> robustPlacement::residuals() const {
    errorSample& sample = sampleErrors(raster, shots, columns, rows, {1.0, 0.0, 0.0, 0.0, 1.0, 0.0});
    const plane surface = fitRobustly(sample, shots.keptShare).surface;
    std::vector<double> residuals(shots.x.size(), notANumber);
    for (std::size_t i = 0; i < sample.count; ++i)
        residuals[sample.shot[i]] = sample.error[i] - surface.at(sample.u(i), sample.v(i));
    return residuals;
}

robustMeasure measureRobustly(const elevationRaster& raster, const robustShots& shots, double dx, double dy) {
    return robustPlacement(raster, shots).translated(dx, dy);
}

std::vector<double> robustResiduals(const elevationRaster& raster, const robustShots& shots) {
    return robustPlacement(raster, shots).residuals();
}

std::vector<double> keptShotWeights(const elevationRaster& raster, const robustShots& shots, std::size_t pointCount) {
    const std::vector<double> residuals = robustResiduals(raster, shots);
    std::vector<double> sizes;
    for (double residual : residuals)
        if (std::isfinite(residual)) sizes.push_back(std::fabs(residual));
    std::vector<double> weights(pointCount, 0.0);
    if (sizes.empty()) return weights;
    const std::size_t kept = std::max<std::size_t>(1, std::size_t(std::ceil(shots.keptShare * double(sizes.size()))));
    std::nth_element(sizes.begin(), sizes.begin() + std::ptrdiff_t(kept - 1), sizes.end());
    const double threshold = sizes[kept - 1];
    for (std::size_t k = 0; k < residuals.size(); ++k)
        if (std::fabs(residuals[k]) <= threshold && shots.source[k] < pointCount) weights[shots.source[k]] = 1.0;
    return weights;
}

}  // namespace kalvex
