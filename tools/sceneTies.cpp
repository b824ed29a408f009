#include "tools/sceneTies.h"

#include <cstdio>

#include "tools/sceneFiles.h"
#include "tools/sceneRandom.h"

namespace kalvex::scene {

namespace {

std::string tieId(int number) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "tp%02d", number);
    return buffer;
}

}  // namespace

std::vector<tieSpot> makeTies(int count, std::uint64_t seed, const sceneFrame& frame,
                              const scenePerturbation& perturbation, const sceneTerrain& terrain) {
    sceneRandom random(seed, 4);
    std::vector<tieSpot> ties;
    double lastColumn = frame.width - 1 - frame.margin;
    double lastRow = frame.height - 1 - frame.margin;
    for (int number = 1; number <= count; ++number) {
        tieSpot tie;
        tie.id = tieId(number);
        double column = random.uniform(frame.margin, lastColumn);
        double row = random.uniform(frame.margin, lastRow);
        tie.x = frame.writtenX(column);
        tie.y = frame.writtenY(row);
        // The analytic surface rather than the cells, so that no hole or
        // interpolation gets in the way of the height.
        const mapPoint truly = frame.rotation == 0.0
                                   ? mapPoint{tie.x + frame.translationX(), tie.y + frame.translationY()}
                                   : frame.trueCell(column, row);
        tie.height = terrain.at(truly.x, truly.y) + perturbation.at(tie.x, tie.y);
        ties.push_back(tie);
    }
    return ties;
}

bool writeGpf(const std::string& path, const sceneFrame& frame, const std::vector<tieSpot>& ties) {
    int decimals = std::string(mapUnits(frame)) == "metres" ? 6 : 12;
    std::string text = "GROUND POINT FILE\n" + std::to_string(ties.size()) +
                       "\npoint_id,stat,known,lat_Y_North,long_X_East,ht,sig(3),res(3)\n";
    for (std::size_t index = 0; index < ties.size(); ++index) {
        const tieSpot& tie = ties[index];
        if (index > 0) text += '\n';
        text += tie.id + " 1 0\n";
        text += fixed(tie.y, decimals) + " " + fixed(tie.x, decimals) + " " + fixed(tie.height, 6) + "\n";
        text += "1.000000 1.000000 1.000000\n";
        text += "0.000000 0.000000 0.000000\n";
    }
    return writeBytes(path, text);
}

}  // namespace kalvex::scene
