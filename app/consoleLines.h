#pragma once
// Keeps the console lines of a run that a summary needs while they pass on
// to the console unchanged: a stream buffer between std::cout and its own
// buffer for the lifetime of the object. The stream's formatting state is
// never touched.
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace kalvex {

class consoleLines : public std::streambuf {
public:
    using linePicker = std::function<bool(const std::string&)>;
    consoleLines(std::ostream& console, linePicker keep);
    ~consoleLines() override;
    consoleLines(const consoleLines&) = delete;
    consoleLines& operator=(const consoleLines&) = delete;

    // The complete lines picked so far, without their line ends.
    const std::vector<std::string>& lines() const { return kept; }

protected:
    int_type overflow(int_type character) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void note(char character);

    std::ostream& console;
    std::streambuf* passOn;
    linePicker keep;
    std::string line;
    std::vector<std::string> kept;
};

}  // namespace kalvex
