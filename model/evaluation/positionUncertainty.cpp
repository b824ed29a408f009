#include "model/evaluation/positionUncertainty.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "model/raster/localPlane.h"
#include "model/raster/rasterExtent.h"

namespace kalvex {

namespace {

constexpr double degree = pi / 180.0;
// An eigenvalue of the normal matrix below this share of the largest is a
// direction the shots do not see at all: rounding, not information.
constexpr double blindShare = 1e-12;
constexpr double infinite = HUGE_VAL;

struct designRow {
    positionVector change{};  // the model elevation per unit of each parameter
    double error = 0.0;
    double weight = 0.0;
    std::int32_t track = 0;
};

positionVector changesOf(const shotSensitivity& shot) {
    // Moving the raster by t samples it at the shot minus t; turning it by a
    // degree samples it where the shot turned the other way lies.
    return {-shot.slopeX, -shot.slopeY, degree * (shot.slopeX * shot.north - shot.slopeY * shot.east)};
}

bool usable(const shotSensitivity& shot) {
    return shot.weight > 0.0 && std::isfinite(shot.weight) && std::isfinite(shot.error) &&
           std::isfinite(shot.slopeX) && std::isfinite(shot.slopeY) && std::isfinite(shot.east) &&
           std::isfinite(shot.north) && std::isfinite(shot.u) && std::isfinite(shot.v);
}

// The weighted shots with the plane's offset and tilt taken out of both the
// errors and the changes: what is left is what only the position explains.
std::vector<designRow> withoutPlane(const std::vector<shotSensitivity>& shots) {
    std::vector<designRow> rows;
    std::vector<std::array<double, 3>> basis;
    for (const shotSensitivity& shot : shots) {
        if (!usable(shot)) continue;
        rows.push_back({changesOf(shot), shot.error, shot.weight, shot.track});
        basis.push_back({1.0, shot.u, shot.v});
    }
    // Weighted Gram-Schmidt over the plane's columns; a column that the ones
    // before it already hold (shots along one line) is left out.
    for (std::size_t column = 0; column < 3; ++column) {
        double size = 0.0, left = 0.0;
        for (std::size_t i = 0; i < rows.size(); ++i) size += rows[i].weight * basis[i][column] * basis[i][column];
        for (std::size_t earlier = 0; earlier < column; ++earlier) {
            double overlap = 0.0;
            for (std::size_t i = 0; i < rows.size(); ++i)
                overlap += rows[i].weight * basis[i][column] * basis[i][earlier];
            for (std::size_t i = 0; i < rows.size(); ++i) basis[i][column] -= overlap * basis[i][earlier];
        }
        for (std::size_t i = 0; i < rows.size(); ++i) left += rows[i].weight * basis[i][column] * basis[i][column];
        const double norm = left > 1e-9 * size && left > 0.0 ? std::sqrt(left) : 0.0;
        for (std::size_t i = 0; i < rows.size(); ++i) basis[i][column] = norm > 0.0 ? basis[i][column] / norm : 0.0;
        // Project the column out of the errors and the changes.
        double errorPart = 0.0;
        positionVector changePart{};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const double w = rows[i].weight * basis[i][column];
            errorPart += w * rows[i].error;
            for (std::size_t k = 0; k < positionParameters; ++k) changePart[k] += w * rows[i].change[k];
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i].error -= errorPart * basis[i][column];
            for (std::size_t k = 0; k < positionParameters; ++k) rows[i].change[k] -= changePart[k] * basis[i][column];
        }
    }
    return rows;
}

positionMatrix normalMatrix(const std::vector<designRow>& rows, std::size_t count) {
    positionMatrix normal{};
    for (const designRow& row : rows)
        for (std::size_t j = 0; j < count; ++j)
            for (std::size_t k = 0; k < count; ++k) normal[j][k] += row.weight * row.change[j] * row.change[k];
    return normal;
}

// A symmetric matrix of count x count as V diag(values) V^T, by Jacobi rotations.
struct eigenSystem {
    positionVector values{};
    positionMatrix vectors{};  // column k is the vector of values[k]
};

eigenSystem eigenOf(positionMatrix a, std::size_t count) {
    eigenSystem system;
    for (std::size_t i = 0; i < count; ++i) system.vectors[i][i] = 1.0;
    for (int sweep = 0; sweep < 50; ++sweep) {
        double off = 0.0;
        for (std::size_t p = 0; p < count; ++p)
            for (std::size_t q = p + 1; q < count; ++q) off += a[p][q] * a[p][q];
        if (!(off > 0.0)) break;
        for (std::size_t p = 0; p < count; ++p)
            for (std::size_t q = p + 1; q < count; ++q) {
                if (a[p][q] == 0.0) continue;
                const double theta = 0.5 * std::atan2(2.0 * a[p][q], a[q][q] - a[p][p]);
                const double c = std::cos(theta), s = std::sin(theta);
                for (std::size_t k = 0; k < count; ++k) {
                    const double akp = a[k][p], akq = a[k][q];
                    a[k][p] = c * akp - s * akq;
                    a[k][q] = s * akp + c * akq;
                }
                for (std::size_t k = 0; k < count; ++k) {
                    const double apk = a[p][k], aqk = a[q][k];
                    a[p][k] = c * apk - s * aqk;
                    a[q][k] = s * apk + c * aqk;
                }
                for (std::size_t k = 0; k < count; ++k) {
                    const double vkp = system.vectors[k][p], vkq = system.vectors[k][q];
                    system.vectors[k][p] = c * vkp - s * vkq;
                    system.vectors[k][q] = s * vkp + c * vkq;
                }
            }
    }
    for (std::size_t i = 0; i < count; ++i) system.values[i] = a[i][i];
    return system;
}

// The inverse on the directions the shots see, and which directions they do not.
struct partialInverse {
    positionMatrix inverse{};
    std::array<bool, positionParameters> blind{};  // the parameter has a share in an unseen direction
};

partialInverse invert(const positionMatrix& normal, std::size_t count) {
    const eigenSystem system = eigenOf(normal, count);
    double largest = 0.0;
    for (std::size_t k = 0; k < count; ++k) largest = std::fmax(largest, system.values[k]);
    partialInverse result;
    for (std::size_t k = 0; k < count; ++k) {
        const bool seen = largest > 0.0 && system.values[k] > blindShare * largest;
        for (std::size_t i = 0; i < count; ++i) {
            if (!seen) {
                result.blind[i] = result.blind[i] || std::fabs(system.vectors[i][k]) > 1e-9;
                continue;
            }
            for (std::size_t j = 0; j < count; ++j)
                result.inverse[i][j] += system.vectors[i][k] * system.vectors[j][k] / system.values[k];
        }
    }
    return result;
}

positionVector times(const positionMatrix& matrix, const positionVector& vector, std::size_t count) {
    positionVector product{};
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = 0; j < count; ++j) product[i] += matrix[i][j] * vector[j];
    return product;
}

}  // namespace

positionUncertainty estimatePosition(const std::vector<shotSensitivity>& shots, bool withTurn) {
    positionUncertainty found;
    found.withTurn = withTurn;
    const std::size_t count = withTurn ? 3 : 2;
    const std::vector<designRow> rows = withoutPlane(shots);
    const positionMatrix normal = normalMatrix(rows, count);
    const partialInverse inverse = invert(normal, count);

    positionVector gradient{};
    for (const designRow& row : rows)
        for (std::size_t k = 0; k < count; ++k) gradient[k] += row.weight * row.change[k] * row.error;
    found.step = times(inverse.inverse, gradient, count);

    // Each track's score, the sum of its shots' weighted changes times their
    // residuals, is one independent draw; the scores' scatter is the meat.
    std::map<std::int32_t, positionVector> scores;
    for (const designRow& row : rows) {
        double residual = row.error;
        for (std::size_t k = 0; k < count; ++k) residual -= row.change[k] * found.step[k];
        positionVector& score = scores[row.track];
        for (std::size_t k = 0; k < count; ++k) score[k] += row.weight * row.change[k] * residual;
    }
    found.shots = rows.size();
    found.tracks = scores.size();
    positionMatrix meat{};
    for (const auto& entry : scores)
        for (std::size_t j = 0; j < count; ++j)
            for (std::size_t k = 0; k < count; ++k) meat[j][k] += entry.second[j] * entry.second[k];

    // The usual small-sample factor for few units and the parameters fitted.
    const double units = double(found.tracks), samples = double(found.shots), fitted = double(count + 3);
    const double factor = units > 1.0 && samples > fitted ? units / (units - 1.0) * (samples - 1.0) / (samples - fitted)
                                                          : infinite;
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = 0; j < count; ++j) {
            double sum = 0.0;
            for (std::size_t a = 0; a < count; ++a)
                for (std::size_t b = 0; b < count; ++b)
                    sum += inverse.inverse[i][a] * meat[a][b] * inverse.inverse[b][j];
            found.covariance[i][j] = factor * sum;
        }
    for (std::size_t i = 0; i < count; ++i) {
        if (inverse.blind[i] || !(factor < infinite)) found.covariance[i][i] = infinite;
        found.standardError[i] = std::sqrt(found.covariance[i][i]);
    }
    return found;
}

positionVector decouplingPivotOffset(const std::vector<shotSensitivity>& shots) {
    const std::vector<designRow> rows = withoutPlane(shots);
    const positionMatrix normal = normalMatrix(rows, 3);
    const partialInverse translation = invert(normal, 2);
    if (translation.blind[0] || translation.blind[1]) return {};
    // The turn's change less what a translation does the same: the pivot that leaves nothing of it.
    const positionVector share = times(translation.inverse, {normal[0][2], normal[1][2], 0.0}, 2);
    return {share[1] / degree, -share[0] / degree, 0.0};
}

std::vector<shotSensitivity> shotSensitivities(const elevationRaster& raster, const std::vector<molaPoint>& points,
                                               const std::vector<double>& weights, double pivotX, double pivotY) {
    std::vector<shotSensitivity> shots;
    const geoTransform& t = raster.transform;
    const double det = t.determinant();
    const double cell = shorterCellSide(t);
    if (raster.width < 3 || raster.height < 3 || raster.cells.size() < std::size_t(raster.width) * raster.height ||
        !(std::fabs(det) > 0.0) || !std::isfinite(det) || !(cell > 0.0))
        return shots;
    double sumX = 0.0, sumY = 0.0, counted = 0.0;
    for (std::size_t i = 0; i < points.size() && i < weights.size(); ++i)
        if (weights[i] > 0.0) sumX += points[i].x, sumY += points[i].y, counted += 1.0;
    const double meanX = counted > 0.0 ? sumX / counted : 0.0, meanY = counted > 0.0 ? sumY / counted : 0.0;
    shots.reserve(std::size_t(counted));
    for (std::size_t i = 0; i < points.size() && i < weights.size(); ++i) {
        const molaPoint& point = points[i];
        if (!(weights[i] > 0.0)) continue;
        const nodePosition at = t.nodeOf(point.x, point.y);
        const double column = std::round(at.column), row = std::round(at.row);
        const bool interior = column >= 1.0 && row >= 1.0 && column <= double(raster.width) - 2.0 &&
                              row <= double(raster.height) - 2.0;
        if (!interior) continue;
        const float* above = raster.cells.data() + (std::size_t(row) - 1) * raster.width + (std::size_t(column) - 1);
        const neighbourPlane plane = neighbourPlaneOf(above, raster.width);
        const double elevation = plane.g + plane.a * (at.column - column) + plane.b * (at.row - row);
        // Per column and row to per map unit: the gradient goes by the inverse transpose of the georeference.
        const double perX = (plane.a * t[5] - plane.b * t[4]) / det;
        const double perY = (plane.b * t[1] - plane.a * t[2]) / det;
        shotSensitivity shot;
        shot.track = point.trackIndex;
        shot.error = point.elevation - elevation;
        shot.slopeX = perX * cell;
        shot.slopeY = perY * cell;
        shot.east = (point.x - pivotX) / cell;
        shot.north = (point.y - pivotY) / cell;
        shot.u = (point.x - meanX) / cell;
        shot.v = (point.y - meanY) / cell;
        shot.weight = weights[i];
        if (usable(shot)) shots.push_back(shot);
    }
    // Plane coordinates near 1, whatever the extent of the shots.
    double largest = 0.0;
    for (const shotSensitivity& shot : shots)
        largest = std::fmax(largest, std::fmax(std::fabs(shot.u), std::fabs(shot.v)));
    if (largest > 0.0)
        for (shotSensitivity& shot : shots) shot.u /= largest, shot.v /= largest;
    return shots;
}

}  // namespace kalvex
