#include "tests/fuzz/fuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace kalvex::fuzzing {

namespace {

std::string scratchFolder() {
    std::error_code ignored;
    if (std::filesystem::is_directory("/dev/shm", ignored)) return "/dev/shm";
    return std::filesystem::temp_directory_path(ignored).string();
}

}  // namespace

scratchInput::scratchInput(const std::string& extension)
    : filePath(scratchFolder() + "/kalvexFuzz_" + std::to_string(::getpid()) + extension) {}

scratchInput::~scratchInput() { std::remove(filePath.c_str()); }

bool scratchInput::write(const std::uint8_t* data, std::size_t size) const {
    std::ofstream file(filePath, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    file.close();
    return !file.fail();
}

silentConsole::silentConsole() : saved(std::cout.rdbuf(&sink)) {}

silentConsole::~silentConsole() { std::cout.rdbuf(saved); }

void require(bool condition, const char* promise) {
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

}  // namespace kalvex::fuzzing
