#include "model/raster/quietGdal.h"

#include <cpl_error.h>
#include <gdal_priv.h>

#include <mutex>

namespace kalvex {

namespace {

// Every failure that matters shows up in a GDAL return value, which the
// callers turn into their own one-line messages.
void CPL_STDCALL discardGdalMessage(CPLErr, CPLErrorNum, const char*) {}

}  // namespace

void datasetCloser::operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }

void silenceGdalMessages() {
    static std::once_flag installed;
    std::call_once(installed, [] { CPLSetErrorHandler(discardGdalMessage); });
}

}  // namespace kalvex
