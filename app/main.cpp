#include <malloc.h>

#include <iostream>

#include "app/runDriver.h"

int main(int argc, char** argv) {
    // A robust run takes and frees buffers of a size with the shots, round
    // after round: kept by the allocator, they are reused rather than handed
    // back to the kernel and faulted in page by page again.
    constexpr int keptBytes = 1 << 30;
    mallopt(M_MMAP_THRESHOLD, keptBytes);
    mallopt(M_TRIM_THRESHOLD, keptBytes);
    return kalvex::runKalvex(argc, argv, std::cout);
}
