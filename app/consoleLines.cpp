#include "app/consoleLines.h"

#include <utility>

namespace kalvex {

consoleLines::consoleLines(std::ostream& stream, linePicker picker)
    : console(stream), passOn(stream.rdbuf()), keep(std::move(picker)) {
    console.rdbuf(this);
}

consoleLines::~consoleLines() { console.rdbuf(passOn); }

void consoleLines::note(char character) {
    if (character != '\n') {
        line += character;
        return;
    }
    if (keep(line)) kept.push_back(line);
    line.clear();
}

consoleLines::int_type consoleLines::overflow(int_type character) {
    if (traits_type::eq_int_type(character, traits_type::eof())) return traits_type::not_eof(character);
    if (traits_type::eq_int_type(passOn->sputc(traits_type::to_char_type(character)), traits_type::eof()))
        return traits_type::eof();
    note(traits_type::to_char_type(character));
    return character;
}

std::streamsize consoleLines::xsputn(const char* text, std::streamsize count) {
    const std::streamsize written = passOn->sputn(text, count);
    for (std::streamsize i = 0; i < written; ++i) note(text[i]);
    return written;
}

int consoleLines::sync() { return passOn->pubsync(); }

}  // namespace kalvex
