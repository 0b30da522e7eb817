// Prints a text quoted, with control characters escaped, so that test names
// built from parameters stay on one line and stay distinct.
#ifndef PRINTESCAPED_H
#define PRINTESCAPED_H

#include <ostream>

inline void printEscaped(const char* text, std::ostream* os) {
    *os << '"';
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '\n':
            *os << "\\n";
            break;
        case '\r':
            *os << "\\r";
            break;
        case '\t':
            *os << "\\t";
            break;
        default:
            *os << *p;
        }
    }
    *os << '"';
}

#endif // PRINTESCAPED_H
