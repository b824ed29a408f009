#pragma once
// Points at which a test can hold a run, so that it can kill the run
// exactly there rather than after a guessed time. kalvex itself installs no
// hook; a point then costs one comparison with a null pointer.
namespace kalvex {

using stopPointHook = void (*)(const char* point);
extern stopPointHook stopPointReached;

inline void passStopPoint(const char* point) {
    if (stopPointReached != nullptr) stopPointReached(point);
}

}  // namespace kalvex
