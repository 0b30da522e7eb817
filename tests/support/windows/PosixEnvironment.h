// setenv and unsetenv for the test programs on Windows. Windows holds no
// empty variable (an empty value removes it); an empty port list is stored
// as ":", which lists no port just as "" does, so that the board link never
// falls back to the machine's own ports.
#ifndef TESTS_SUPPORT_WINDOWS_POSIXENVIRONMENT_H
#define TESTS_SUPPORT_WINDOWS_POSIXENVIRONMENT_H

#include <stdlib.h>
#include <string.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    const bool portList = strcmp(name, "RERODADA_SERIAL_PORTS") == 0;
    return _putenv_s(name, *value || !portList ? value : ":") == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

#endif
