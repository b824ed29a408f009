#pragma once
// GDAL writes its own warnings and errors to standard error unless told
// otherwise; kalvex reports every problem itself, on standard output.

namespace kalvex {

// Installs, once per process, a GDAL error handler that prints nothing.
// Call it before any GDAL use.
void silenceGdalMessages();

}  // namespace kalvex
