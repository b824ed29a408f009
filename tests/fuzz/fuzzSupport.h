#pragma once
// What the fuzz harnesses share: a scratch file that a reader can open by
// name, a console that swallows everything, and a check that stops the
// fuzzer at a broken promise of the code under test.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

namespace kalvex::fuzzing {

// A file of this process, in memory-backed storage when there is any, that
// takes the bytes of each input. It is removed when the harness ends.
class scratchInput {
public:
    explicit scratchInput(const std::string& extension);
    ~scratchInput();
    scratchInput(const scratchInput&) = delete;
    scratchInput& operator=(const scratchInput&) = delete;

    // Replaces the file's contents; false when it could not be written.
    bool write(const std::uint8_t* data, std::size_t size) const;
    const std::string& path() const { return filePath; }

private:
    std::string filePath;
};

// Points std::cout at a buffer that drops every character while it lives:
// the readers talk a lot, and the fuzzer only cares whether they misbehave.
class silentConsole {
public:
    silentConsole();
    ~silentConsole();
    silentConsole(const silentConsole&) = delete;
    silentConsole& operator=(const silentConsole&) = delete;

private:
    class nullBuffer : public std::streambuf {
    protected:
        int_type overflow(int_type character) override { return traits_type::not_eof(character); }
        std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
    };
    nullBuffer sink;
    std::streambuf* saved;
};

// Stops the run with a crash that the fuzzer records as a finding.
void require(bool condition, const char* promise);

}  // namespace kalvex::fuzzing
