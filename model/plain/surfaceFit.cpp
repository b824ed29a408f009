// Plane and quadratic surfaces fitted to the point errors and added to the
// raster, so that the raster bends towards the altimeter points.
//
// Map coordinates are large next to the extent of a scene (longitudes near
// 137 degrees with cells of 1e-5 degrees, polar metres near 1e6), so raw
// coordinate sums cancel catastrophically. Both fits therefore work in a local
// frame: offsets from the mean position of the points used, divided by their
// largest offset. The surface added to the cells and tie points is evaluated
// in that frame; the map-coordinate coefficients only serve the debug lines.
#include "model/plain/surfaceFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iomanip>
#include <ostream>
#include <vector>

#include "model/evaluation/pointError.h"

namespace kalvex {

namespace {

// Below this share of its own size a pivot (or the point spread across the
// best line through the points) is rounding noise: the points do not determine
// the surface, and the solution would be meaningless however finite it looks.
constexpr double degenerateShare = 1e-9;

struct fitSample {
    double x;
    double y;
    double error;
};

struct planeSurface {
    localFrame frame;
    std::array<double, 3> local{0.0, 0.0, 0.0};  // a*X + b*Y + g in the local frame
};

struct quadraticSurface {
    localFrame frame;
    std::array<double, 6> local{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // X^2, XY, Y^2, X, Y, 1
};

enum class fitOutcome { solved, rejected, undetermined };

using augmentedMatrix = std::array<std::array<double, 7>, 6>;

template <std::size_t count>
bool allFinite(const std::array<double, count>& values) {
    for (double value : values)
        if (!std::isfinite(value)) return false;
    return true;
}

// The points that have a model elevation, with their (weighted) errors.
std::vector<fitSample> fitSamples(const elevationRaster& raster, const std::vector<molaPoint>& points,
                                  const trackWeightList* weights) {
    std::vector<fitSample> samples;
    for (const errorRecord& entry : errorList(raster, points, weights)) samples.push_back({entry.x, entry.y, entry.error});
    return samples;
}

localFrame frameOf(const std::vector<fitSample>& samples) {
    localFrame frame;
    if (samples.empty()) return frame;
    double sumX = 0.0;
    double sumY = 0.0;
    for (const fitSample& sample : samples) {
        sumX += sample.x;
        sumY += sample.y;
    }
    frame.originX = sumX / double(samples.size());
    frame.originY = sumY / double(samples.size());
    double largestOffset = 0.0;
    for (const fitSample& sample : samples) {
        largestOffset = std::fmax(largestOffset, std::fabs(sample.x - frame.originX));
        largestOffset = std::fmax(largestOffset, std::fabs(sample.y - frame.originY));
    }
    if (largestOffset > 0.0 && std::isfinite(largestOffset)) frame.scale = largestOffset;
    return frame;
}

double determinant3(const std::array<std::array<double, 3>, 3>& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// How many times the scatter of a fitted surface at the shots it may be
// wrong by at the worst of the raster's corners and edge middles: the square
// root of the ratio of its variance there, phi^T N^-1 phi, to its mean at the
// shots, terms / count. Shots that do not hold the surface up across the
// raster let it swing there by hundreds of times what it does under them.
template <std::size_t terms>
double spreadAtRasterEdges(const std::vector<fitSample>& samples, const localFrame& frame,
                           const elevationRaster& raster, std::array<double, terms> (*basisOf)(double u, double v)) {
    std::array<std::array<double, terms>, terms> normal{};
    for (const fitSample& sample : samples) {
        const std::array<double, terms> basis = basisOf(frame.localX(sample.x), frame.localY(sample.y));
        for (std::size_t i = 0; i < terms; ++i)
            for (std::size_t j = 0; j < terms; ++j) normal[i][j] += basis[i] * basis[j];
    }
    double worst = 0.0;
    const double lastColumn = double(raster.width) - 1.0, lastRow = double(raster.height) - 1.0;
    for (int k = 0; k < 9; ++k) {
        if (k == 4) continue;  // the middle
        const double column = 0.5 * lastColumn * (k % 3), row = 0.5 * lastRow * (k / 3);
        const std::array<double, terms> point =
            basisOf(frame.localX(raster.nodeX(column, row)), frame.localY(raster.nodeY(column, row)));
        // Solve normal * z = point by elimination with partial pivoting.
        std::array<std::array<double, terms + 1>, terms> m{};
        for (std::size_t i = 0; i < terms; ++i) {
            for (std::size_t j = 0; j < terms; ++j) m[i][j] = normal[i][j];
            m[i][terms] = point[i];
        }
        for (std::size_t i = 0; i < terms; ++i) {
            std::size_t pivot = i;
            for (std::size_t r = i + 1; r < terms; ++r)
                if (std::fabs(m[r][i]) > std::fabs(m[pivot][i])) pivot = r;
            std::swap(m[i], m[pivot]);
            if (!(std::fabs(m[i][i]) > 0.0)) return HUGE_VAL;
            for (std::size_t r = 0; r < terms; ++r) {
                if (r == i) continue;
                const double factor = m[r][i] / m[i][i];
                for (std::size_t c = i; c <= terms; ++c) m[r][c] -= factor * m[i][c];
            }
        }
        double leverage = 0.0;
        for (std::size_t i = 0; i < terms; ++i) leverage += point[i] * m[i][terms] / m[i][i];
        // Never below zero but by rounding, on a matrix that is singular but for it.
        if (!(leverage > 0.0) || !std::isfinite(leverage)) return HUGE_VAL;
        worst = std::fmax(worst, leverage * double(samples.size()) / double(terms));
    }
    return std::sqrt(worst);
}

// Shots that hold a surface up across the raster let it swing at its edges by
// a few times what it does under them; this many times is a surface the
// shots leave open there.
constexpr double mostSwing = 10.0;

std::array<double, 3> planeBasis(double u, double v) { return {u, v, 1.0}; }
std::array<double, 6> quadraticBasis(double u, double v) { return {u * u, u * v, v * v, u, v, 1.0}; }

// Below this share of the wider spread, the spread of the points across their
// main direction is a scatter about one line (an altimeter track and its
// jitter), not a second direction that could carry a slope.
constexpr double lineSpreadShare = 0.01;

// The spread of the sample positions about their mean along the two principal
// directions, from the centred second moments: uncentred moments of points
// that share one coordinate hold the rounding error of its mean, which looks
// like a spread of its own.
struct positionSpread {
    double meanU = 0.0;
    double meanV = 0.0;
    double wide = 0.0;    // variance along the main direction
    double narrow = 0.0;  // variance across it
    double directionU = 1.0;
    double directionV = 0.0;
    bool alongOneLine() const { return wide > 0.0 && std::sqrt(std::fmax(narrow, 0.0) / wide) < lineSpreadShare; }
};

positionSpread spreadOf(const std::vector<fitSample>& samples, const localFrame& frame) {
    positionSpread spread;
    const double n = double(samples.size());
    for (const fitSample& sample : samples) {
        spread.meanU += frame.localX(sample.x) / n;
        spread.meanV += frame.localY(sample.y) / n;
    }
    double suu = 0.0, suv = 0.0, svv = 0.0;
    for (const fitSample& sample : samples) {
        const double u = frame.localX(sample.x) - spread.meanU;
        const double v = frame.localY(sample.y) - spread.meanV;
        suu += u * u;
        suv += u * v;
        svv += v * v;
    }
    const double half = 0.5 * (suu + svv);
    const double radius = std::hypot(0.5 * (suu - svv), suv);
    spread.wide = (half + radius) / n;
    spread.narrow = (half - radius) / n;
    // The eigenvector of the larger eigenvalue, from whichever row is the better conditioned.
    double du = suv, dv = (half + radius) - suu;
    if (std::fabs(du) + std::fabs(dv) < std::fabs((half + radius) - svv) + std::fabs(suv)) {
        du = (half + radius) - svv;
        dv = suv;
    }
    const double length = std::hypot(du, dv);
    if (length > 0.0) {
        spread.directionU = du / length;
        spread.directionV = dv / length;
    } else if (svv > suu) {
        spread.directionU = 0.0;
        spread.directionV = 1.0;
    }
    return spread;
}

// Points along one line fix the offset and the slope along the line, nothing
// across it: of all the planes that fit them equally well, the one without a
// slope across the line.
planeSurface solvePlaneAlongLine(const std::vector<fitSample>& samples, const localFrame& frame,
                                 const positionSpread& spread) {
    const double n = double(samples.size());
    auto along = [&](const fitSample& sample) {
        return (frame.localX(sample.x) - spread.meanU) * spread.directionU +
               (frame.localY(sample.y) - spread.meanV) * spread.directionV;
    };
    double meanT = 0.0, meanE = 0.0;
    for (const fitSample& sample : samples) {
        meanT += along(sample) / n;
        meanE += sample.error / n;
    }
    double stt = 0.0, ste = 0.0;
    for (const fitSample& sample : samples) {
        const double t = along(sample) - meanT;
        stt += t * t;
        ste += t * (sample.error - meanE);
    }
    const double slope = ste / stt;
    planeSurface surface;
    surface.frame = frame;
    surface.local = {slope * spread.directionU, slope * spread.directionV,
                     meanE - slope * (spread.meanU * spread.directionU + spread.meanV * spread.directionV + meanT)};
    return surface;
}

// Least-squares plane of the samples in their local frame. Points that all lie
// on one line leave the slope across that line open: the result is NaN.
planeSurface solvePlane(const std::vector<fitSample>& samples) {
    planeSurface surface;
    surface.frame = frameOf(samples);
    double sxx = 0, sxy = 0, sx = 0, syy = 0, sy = 0, sex = 0, sey = 0, se = 0;
    for (const fitSample& sample : samples) {
        const double u = surface.frame.localX(sample.x);
        const double v = surface.frame.localY(sample.y);
        sxx += u * u;
        sxy += u * v;
        sx += u;
        syy += v * v;
        sy += v;
        sex += sample.error * u;
        sey += sample.error * v;
        se += sample.error;
    }
    const double n = double(samples.size());
    const double spread = sxx * syy - sxy * sxy;
    if (!(spread > degenerateShare * sxx * syy)) {
        surface.local = {notANumber, notANumber, notANumber};
        return surface;
    }
    const std::array<std::array<double, 3>, 3> normal{{{sxx, sxy, sx}, {sxy, syy, sy}, {sx, sy, n}}};
    const std::array<double, 3> rightSide{sex, sey, se};
    const double det = determinant3(normal);
    if (det == 0.0) {
        surface.local = {notANumber, notANumber, notANumber};
        return surface;
    }
    for (std::size_t column = 0; column < 3; ++column) {
        std::array<std::array<double, 3>, 3> replaced = normal;
        for (std::size_t row = 0; row < 3; ++row) replaced[row][column] = rightSide[row];
        surface.local[column] = determinant3(replaced) / det;
    }
    return surface;
}

// Cx, Cy, C0 of the plane in map coordinates.
std::array<double, 3> mapCoefficients(const planeSurface& surface) {
    const localFrame& f = surface.frame;
    const double cx = surface.local[0] / f.scale;
    const double cy = surface.local[1] / f.scale;
    return {cx, cy, surface.local[2] - cx * f.originX - cy * f.originY};
}

// Cx^2, Cxy, Cy^2, Cx, Cy, C0 of the quadratic in map coordinates.
std::array<double, 6> mapCoefficients(const quadraticSurface& surface) {
    const localFrame& f = surface.frame;
    const double s2 = f.scale * f.scale;
    const double mx = f.originX;
    const double my = f.originY;
    const double a = surface.local[0] / s2;
    const double b = surface.local[1] / s2;
    const double c = surface.local[2] / s2;
    const double d = surface.local[3] / f.scale;
    const double e = surface.local[4] / f.scale;
    return {a,
            b,
            c,
            d - 2.0 * a * mx - b * my,
            e - 2.0 * c * my - b * mx,
            a * mx * mx + b * mx * my + c * my * my - d * mx - e * my + surface.local[5]};
}

void printMatrix(std::ostream& console, const augmentedMatrix& matrix) {
    for (const auto& row : matrix) {
        for (double value : row) console << std::setprecision(12) << value << "\t";
        console << std::endl;
    }
}

augmentedMatrix normalEquations(const std::vector<fitSample>& samples, const localFrame& frame) {
    augmentedMatrix matrix{};
    for (const fitSample& sample : samples) {
        const double u = frame.localX(sample.x);
        const double v = frame.localY(sample.y);
        const std::array<double, 6> basis{u * u, u * v, v * v, u, v, 1.0};
        for (std::size_t i = 0; i < 6; ++i) {
            for (std::size_t j = 0; j < 6; ++j) matrix[i][j] += basis[i] * basis[j];
            matrix[i][6] += basis[i] * sample.error;
        }
    }
    return matrix;
}

// Forward elimination without row exchanges. Returns false when a pivot has
// shrunk to nothing next to the same diagonal entry before elimination, i.e.
// the points do not determine the surface.
bool eliminateForward(augmentedMatrix& m, const augmentedMatrix& original) {
    bool determined = true;
    for (std::size_t i = 0; i < 6; ++i) {
        if (!(original[i][i] > 0.0) || !(m[i][i] > degenerateShare * original[i][i])) determined = false;
        if (m[i][i] == 0.0) break;  // nothing left to divide by; the result is discarded anyway
        for (std::size_t k = 7; k-- > i;) m[i][k] = m[i][k] / m[i][i];
        for (std::size_t j = i + 1; j < 6; ++j)
            for (std::size_t k = 7; k-- > i;) m[j][k] = m[j][k] - m[j][i] * m[i][k];
    }
    return determined;
}

void substituteBackward(augmentedMatrix& m) {
    for (std::size_t i = 6; i-- > 0;) {
        for (std::size_t r = 0; r < i; ++r) {
            m[r][6] = m[r][6] - m[i][6] * m[r][i];
            m[r][i] = m[r][i] - m[i][i] * m[r][i];
        }
    }
}

// The first entry that is not what a solved system holds prints its message.
bool verifySolution(std::ostream& console, const augmentedMatrix& m) {
    for (std::size_t row = 0; row < 6; ++row) {
        for (std::size_t column = 0; column < 7; ++column) {
            const double value = m[row][column];
            if (std::isnan(value)) {
                console << "NAN ERROR" << std::endl;
                return false;
            }
            if (row == column && value != 1.0) {
                console << "1 ERROR" << std::endl;
                return false;
            }
            if (column < 6 && row != column && value != 0.0) {
                console << "0 ERROR" << std::endl;
                return false;
            }
        }
    }
    return true;
}

fitOutcome solveQuadratic(std::ostream& console, const std::vector<fitSample>& samples, const elevationRaster& raster,
                          quadraticSurface& surface) {
    const bool debug = raster.debug;
    surface.frame = frameOf(samples);
    augmentedMatrix matrix = normalEquations(samples, surface.frame);
    if (debug) {
        console << std::endl;
        printMatrix(console, matrix);
        console << std::endl;
    }
    const augmentedMatrix original = matrix;
    const bool determined = eliminateForward(matrix, original);
    if (debug) {
        printMatrix(console, matrix);
        console << std::endl;
    }
    substituteBackward(matrix);
    if (debug) {
        printMatrix(console, matrix);
        console << std::endl;
    }
    if (!determined) {
        surface.local.fill(notANumber);
        return fitOutcome::undetermined;
    }
    if (!verifySolution(console, matrix)) {
        surface.local.fill(0.0);
        return fitOutcome::rejected;
    }
    if (spreadAtRasterEdges<6>(samples, surface.frame, raster, quadraticBasis) > mostSwing) {
        surface.local.fill(notANumber);
        return fitOutcome::undetermined;
    }
    for (std::size_t i = 0; i < 6; ++i) surface.local[i] = matrix[i][6];
    return fitOutcome::solved;
}

// False, with its message, when fewer than two points have a model elevation.
// Points along one line, or too near one to hold the plane up across the
// raster, get the plane without a slope across them.
bool fitPlaneSurface(std::ostream& console, const elevationRaster& raster, const std::vector<molaPoint>& points,
                     const trackWeightList* weights, planeSurface& surface, bool& alongOneLine, bool& nearOneLine) {
    const std::vector<fitSample> samples = fitSamples(raster, points, weights);
    if (samples.size() < 2) {
        console << "There is only one or fewer valid mola point in the raster region, not performing linear fit"
                << std::endl;
        return false;
    }
    const localFrame frame = frameOf(samples);
    const positionSpread spread = spreadOf(samples, frame);
    if (!spread.alongOneLine()) {
        // Points at one place have no line either: the plane is left to the solution's own check.
        if (!(spread.wide > 0.0) || spreadAtRasterEdges<3>(samples, frame, raster, planeBasis) <= mostSwing) {
            surface = solvePlane(samples);
            return true;
        }
        nearOneLine = true;
    }
    alongOneLine = true;
    surface = solvePlaneAlongLine(samples, frame, spread);
    return true;
}

// The coefficients of a fit in map coordinates, one per line, for the debug output.
template <std::size_t count>
void printCoefficients(std::ostream& console, const std::array<const char*, count>& labels,
                       const std::array<double, count>& coefficients) {
    console << std::endl;
    console << "Best Fit Plane:" << std::endl;
    for (std::size_t i = 0; i < count; ++i) console << labels[i] << coefficients[i] << std::endl;
}

struct quadraticFound {
    fitOutcome outcome = fitOutcome::rejected;
    quadraticSurface surface;
    std::array<double, 6> coefficients{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // in map coordinates; 0 when rejected
};

quadraticFound fitQuadratic(std::ostream& console, const elevationRaster& raster, const std::vector<molaPoint>& points,
                            const trackWeightList* weights) {
    quadraticFound found;
    found.outcome = solveQuadratic(console, fitSamples(raster, points, weights), raster, found.surface);
    if (found.outcome != fitOutcome::rejected) found.coefficients = mapCoefficients(found.surface);
    return found;
}

// A fit's terms as the run adds them, in the frame they were fitted in: a
// plane's three (X, Y, 1) are the last three of the quadratic's six.
template <std::size_t count>
fittedSurface surfaceToAdd(const localFrame& frame, const std::array<double, count>& local) {
    static_assert(count == fittedSurface::plane || count == fittedSurface::quadratic);
    fittedSurface surface;
    surface.terms = fittedSurface::termCount(count);
    surface.frame = frame;
    std::copy(local.begin(), local.end(), surface.local.end() - count);
    return surface;
}

}  // namespace

fittedSurface planeOfErrors(std::ostream& console, const elevationRaster& raster, const std::vector<molaPoint>& points,
                            const trackWeightList* weights, bool lineTold) {
    planeSurface surface;
    bool alongOneLine = false, nearOneLine = false;
    const bool fitted = fitPlaneSurface(console, raster, points, weights, surface, alongOneLine, nearOneLine);
    if (nearOneLine && !lineTold)
        console << "Warning: The valid mola points lie too near one line to hold a plane up across the raster, the "
                   "plane is fitted without a slope across them"
                << std::endl;
    else if (alongOneLine && !lineTold)
        console << "Warning: The valid mola points lie along one line, the plane is fitted without a slope across it"
                << std::endl;
    const std::array<double, 3> coefficients = fitted ? mapCoefficients(surface) : std::array<double, 3>{0, 0, 0};
    if (raster.debug) printCoefficients(console, {"Cx: ", "Cy: ", "C "}, coefficients);
    fittedSurface found;
    found.alongOneLine = alongOneLine;
    if (!fitted) return found;
    if (!allFinite(surface.local) || !allFinite(coefficients)) {
        console << "Warning: The valid mola points do not determine a best fit plane, the raster was left unchanged"
                << std::endl;
        return found;
    }
    fittedSurface plane = surfaceToAdd(surface.frame, surface.local);
    plane.alongOneLine = alongOneLine;
    return plane;
}

std::array<double, 6> quadraticFit(std::ostream& console, const elevationRaster& raster,
                                   const std::vector<molaPoint>& points, const trackWeightList* weights) {
    return fitQuadratic(console, raster, points, weights).coefficients;
}

fittedSurface quadraticOfErrors(std::ostream& console, const elevationRaster& raster,
                                const std::vector<molaPoint>& points, const trackWeightList* weights) {
    const quadraticFound found = fitQuadratic(console, raster, points, weights);
    if (raster.debug)
        printCoefficients(console, {"Cx^2: ", "Cxy:  ", "Cy^2: ", "Cx: ", "Cy: ", "C: "}, found.coefficients);
    fittedSurface surface;
    if (found.outcome == fitOutcome::rejected) return surface;
    if (found.outcome == fitOutcome::undetermined || !allFinite(found.surface.local) ||
        !allFinite(found.coefficients)) {
        console << "Warning: The valid mola points do not determine a best fit quadratic surface, the raster was "
                   "left unchanged"
                << std::endl;
        surface.leftOpen = true;
        return surface;
    }
    return surfaceToAdd(found.surface.frame, found.surface.local);
}

// The surface is evaluated term by term as it was fitted: a plane's value is
// a sum of three terms, not of six with three zeros.
double fittedSurface::at(double x, double y) const {
    const double u = frame.localX(x);
    const double v = frame.localY(y);
    if (terms == plane) return local[3] * u + local[4] * v + local[5];
    return local[0] * u * u + local[1] * u * v + local[2] * v * v + local[3] * u + local[4] * v + local[5];
}

void addSurface(elevationRaster& raster, std::vector<tiePoint>& tiePoints, const fittedSurface& surface) {
    if (surface.terms == fittedSurface::none) return;
    if (raster.cells.size() >= std::size_t(raster.width) * raster.height) {
        for (std::uint32_t r = 0; r < raster.height; ++r) {
            for (std::uint32_t c = 0; c < raster.width; ++c) {
                const double x = raster.nodeX(c, r);
                const double y = raster.nodeY(c, r);
                raster.cell(c, r) = float(surface.at(x, y) + double(raster.cell(c, r)));
            }
        }
    }
    for (tiePoint& point : tiePoints) point.elevation = surface.at(point.x, point.y) + point.elevation;
}

}  // namespace kalvex
