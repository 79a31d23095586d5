// Starts a program with an exact command-line text, which `wine prog args`
// cannot do (Wine quotes each argument again), waits for it and exits with
// its exit code.
//
//   launch_exact.exe FILE
//
// FILE holds the command line, byte for byte (a final line end is not part of
// it). The program inherits this one's standard handles. Exit code 255 when
// FILE cannot be read or the program cannot be started.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: launch_exact FILE\n");
        return 255;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "launch_exact: cannot read %s\n", argv[1]);
        return 255;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string line = bytes.str();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();

    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "launch_exact: cannot start (error %lu): %s\n", GetLastError(),
                     line.c_str());
        return 255;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
