// kalvex for the tests that kill a run at a point of their choosing: the
// first time the run passes the stop point that KALVEX_STOP_AT names, it
// stops itself (SIGSTOP), and the test sends its signal while it stands
// there. The kalvex that users run reads no environment and has no hook.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/runDriver.h"
#include "output/stopPoints.h"

namespace {

void stopAtChosenPoint(const char* point) {
    static bool stopped = false;
    const char* chosen = std::getenv("KALVEX_STOP_AT");
    if (stopped || chosen == nullptr || std::strcmp(chosen, point) != 0) return;
    stopped = true;
    std::cout.flush();
    std::raise(SIGSTOP);
}

}  // namespace

int main(int argc, char** argv) {
    kalvex::stopPointReached = stopAtChosenPoint;
    return kalvex::runKalvex(argc, argv, std::cout);
}
