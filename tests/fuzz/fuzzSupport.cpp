#include "tests/fuzz/fuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace kalvex::fuzzing {

std::string scratchFile(const std::uint8_t* data, std::size_t size, const std::string& extension) {
    static const std::string folder =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
    static const std::string path = folder + "/kalvexFuzz_" + std::to_string(::getpid()) + extension;
    [[maybe_unused]] static const int removedAtExit = std::atexit([] { std::remove(path.c_str()); });
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return path;
}

void require(bool condition, const char* promise) {
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

}  // namespace kalvex::fuzzing
