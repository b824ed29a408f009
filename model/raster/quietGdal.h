#pragma once
// GDAL writes its own warnings and errors to standard error unless told
// otherwise; kalvex reports every problem itself, on standard output. Its
// datasets are closed by their handles.

#include <memory>

class GDALDataset;

namespace kalvex {

// Closes a GDAL dataset when its handle goes.
struct datasetCloser {
    void operator()(GDALDataset* dataset) const;
};
using datasetHandle = std::unique_ptr<GDALDataset, datasetCloser>;

// Installs, once per process, a GDAL error handler that prints nothing.
// Call it before any GDAL use.
void silenceGdalMessages();

}  // namespace kalvex
