#pragma once
// Every input is told by the ending of its name, exactly and case-sensitively:
// the tables and tie files by their last four characters (".csv", ".gpf", ...),
// the elevation model by one of the raster endings.
#include <string>

namespace kalvex {

// The last four characters of a name (all of it when shorter).
inline std::string lastFourCharacters(const std::string& name) {
    return name.size() < 4 ? name : name.substr(name.size() - 4);
}

// The endings of the elevation models kalvex reads: GeoTIFFs, ISIS3 cubes,
// PDS3 images (their label attached or beside them) and virtual rasters.
inline const char* const rasterEndings[] = {".tif", ".tiff", ".cub", ".img", ".vrt"};

// The raster ending a name ends with, or an empty text.
inline std::string rasterEndingOf(const std::string& name) {
    for (const std::string ending : rasterEndings)
        if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            return ending;
    return std::string();
}

}  // namespace kalvex
