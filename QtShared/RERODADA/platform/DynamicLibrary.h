// Run-time linking: the operating system's loader behind three calls.
#ifndef RERODADA_PLATFORM_DYNAMICLIBRARY_H
#define RERODADA_PLATFORM_DYNAMICLIBRARY_H

#include <string>

namespace rerodada::platform {

// File names are UTF-8 on Windows, whose file system names are UTF-16, and
// bytes elsewhere.
void* LibraryLoad(const char* fileName);
// The file that environment variable `name` names, as LibraryLoad takes it;
// false when the variable is not set.
bool LibraryFromEnvironment(const char* name, std::string* fileName);
void* LibrarySymbol(void* module, const char* name);
void LibraryFree(void* module);
// Text of the loader's last error, for the trace.
std::string LibraryError();

} // namespace rerodada::platform

#endif
