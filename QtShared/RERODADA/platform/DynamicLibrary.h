// Run-time linking: the operating system's loader behind three calls.
#ifndef RERODADA_PLATFORM_DYNAMICLIBRARY_H
#define RERODADA_PLATFORM_DYNAMICLIBRARY_H

#include <string>

namespace rerodada::platform {

void* LibraryLoad(const char* fileName);
void* LibrarySymbol(void* module, const char* name);
void LibraryFree(void* module);
// Text of the loader's last error, for the trace.
std::string LibraryError();

} // namespace rerodada::platform

#endif
