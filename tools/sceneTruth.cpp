#include "tools/sceneTruth.h"

#include <array>

#include "tools/sceneFiles.h"

namespace kalvex::scene {

namespace {

class truthLines {
public:
    void comment(const std::string& text) { lines += "# " + text + "\n"; }
    void add(const std::string& key, const std::string& value) { lines += key + " = " + value + "\n"; }
    void add(const std::string& key, double value) { add(key, general(value)); }
    void add(const std::string& key, long long value) { add(key, std::to_string(value)); }
    template <typename list>
    void addList(const std::string& key, const list& values) {
        std::string text;
        for (const auto& value : values) text += (text.empty() ? "" : " ") + general(double(value));
        add(key, text);
    }
    const std::string& text() const { return lines; }

private:
    std::string lines;
};

void describeGeometry(truthLines& out, const sceneSummary& scene) {
    const sceneFrame& frame = scene.frame;
    out.add("variant", frame.polar ? "polar" : (frame.equirectangular ? "eqc" : "lonlat"));
    out.add("map_units", mapUnits(frame));
    out.add("crs", crsText(frame));
    out.add("track_units", "degrees");
    out.add("seed", std::to_string(scene.options.seed));
    out.add("width", (long long)frame.width);
    out.add("height", (long long)frame.height);
    out.add("cell_size", frame.cell);
    out.addList("geotransform", frame.fileTransform());
    out.addList("true_geotransform", cornerOf(frame.trueTransform()));
    if (frame.rotation != 0.0) out.add("rotation_degrees", frame.rotation);
    out.add("margin_cells", (long long)frame.margin);
}

void describeDemErrors(truthLines& out, const sceneSummary& scene) {
    const sceneFrame& frame = scene.frame;
    const scenePerturbation& tilt = scene.perturbation;
    out.add("shift_columns", (long long)frame.shiftColumns);
    out.add("shift_rows", (long long)frame.shiftRows);
    out.add("translation_x", frame.translationX());
    out.add("translation_y", frame.translationY());
    out.add("translation_columns", (long long)-frame.shiftColumns);
    out.add("translation_rows", (long long)-frame.shiftRows);
    out.add("offset", tilt.offset);
    out.add("tilt_x", tilt.tiltX);
    out.add("tilt_y", tilt.tiltY);
    out.add("tilt_centre_x", tilt.centreX);
    out.add("tilt_centre_y", tilt.centreY);
    out.add("tilt_per_column", tilt.tiltX * frame.cell);
    out.add("tilt_per_row", -tilt.tiltY * frame.cell);
    out.add("nodata_value", double(noDataValue));
    out.add("nodata_cells", (long long)scene.dem.noDataCells);
    const int* block = scene.options.noDataBlock;
    if (block[2] > 0 && block[3] > 0) out.addList("nodata_block", std::array<int, 4>{block[0], block[1], block[2], block[3]});
    if (scene.options.relief != 1.0) out.add("relief", scene.options.relief);
}

void describeTracks(truthLines& out, const sceneSummary& scene) {
    const trackSet& tracks = scene.tracks;
    out.add("tracks", (long long)tracks.orbits.size());
    out.add("points", (long long)tracks.points.size());
    out.addList("orbits", tracks.orbits);
    if (!scene.options.trackColumns.empty()) out.addList("track_columns", scene.options.trackColumns);
    if (scene.options.overhang > 0.0) out.add("overhang", scene.options.overhang);
    if (scene.options.wiggle > 0.0) out.add("wiggle", scene.options.wiggle);
    out.add("noise_sigma", scene.options.noiseSigma);
    out.addList("bad_tracks", tracks.badOrbits);
    out.addList("bad_track_offsets", tracks.badOffsets);
    out.add("outliers", (long long)tracks.outlierRows.size());
    out.addList("outlier_rows", tracks.outlierRows);
    out.addList("outlier_offsets", tracks.outlierOffsets);
    out.add("tie_points", (long long)scene.ties.size());
}

}  // namespace

std::string truthText(const sceneSummary& scene) {
    truthLines out;
    out.comment("Known perturbations of this sample scene.");
    out.comment("geotransforms in GDAL's terms; the value of a cell whose centre lies at (X, Y) by dem.tif's own");
    out.comment("georeference = terrain(X + translation_x, Y + translation_y)");
    out.comment("  + offset + tilt_x * (X - tilt_centre_x) + tilt_y * (Y - tilt_centre_y); tilt in metres per map unit.");
    out.comment("Adding translation_x to GT0 and translation_y to GT3 puts the DEM back onto the terrain and the tracks.");
    out.comment("Track points = terrain + noise (sigma noise_sigma) + bad track offset + outlier offset;");
    out.comment("outlier_rows count the data rows of the track tables from 0.");
    if (scene.frame.rotation != 0.0)
        out.comment("With rotation_degrees the cells truly lie where true_geotransform puts them, not only moved.");
    if (scene.frame.trueGeoreference) out.comment("dem.tif holds the true georeference already: nothing is to be moved.");
    describeGeometry(out, scene);
    describeDemErrors(out, scene);
    describeTracks(out, scene);
    return out.text();
}

}  // namespace kalvex::scene
