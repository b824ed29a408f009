#pragma once
// The altimeter points as the three table formats kalvex reads. Every value is
// formatted once and the same text goes into all three files, so they hold
// exactly the same numbers in the same order.
#include <string>

#include "tools/sceneTracks.h"

namespace kalvex::scene {

bool writeCsv(const std::string& path, const trackSet& tracks);
bool writeTab(const std::string& path, const trackSet& tracks);
bool writeDbf(const std::string& path, const trackSet& tracks);

}  // namespace kalvex::scene
