// Keeps wine's desktop process running while the Windows test suite runs.
// wine starts that process with the first program that creates a window (Qt
// creates one even offscreen), and it inherits the program's output: started
// by a test, it holds the test's output open until the last test has ended,
// and ctest waits for it. scripts/test-windows.sh starts this program first.
// Usage: desktop-keeper READY-FILE (created once the desktop is up)
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HWND window =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!window) return 1;
    if (FILE* ready = std::fopen(argv[1], "w")) std::fclose(ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
