// Module file name, command line, sleep and exit from /proc and libc.
#include "../win32.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {
int mainModuleTag;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return &mainModuleTag;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module != nullptr && module != &mainModuleTag) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n < 0) {
        tarnfold::posix::SetLastErrorFromErrno(errno);
        return 0;
    }
    if (size == 0) return 0;
    // As on Windows: a name that does not fit is cut to size - 1 characters, terminated,
    // and the call returns size with ERROR_INSUFFICIENT_BUFFER.
    if (static_cast<DWORD>(n) >= size) {
        std::memcpy(fileName, path, size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path, static_cast<std::size_t>(n));
    fileName[n] = '\0';
    return static_cast<DWORD>(n);
}

LPSTR GetCommandLineA() {
    static std::string commandLine;
    if (commandLine.empty()) {
        std::FILE* f = std::fopen("/proc/self/cmdline", "rb");
        std::string raw;
        if (f != nullptr) {
            char buffer[4096];
            std::size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) raw.append(buffer, got);
            std::fclose(f);
        }
        std::size_t start = 0;
        while (start < raw.size()) {
            std::size_t end = raw.find('\0', start);
            if (end == std::string::npos) end = raw.size();
            std::string word = raw.substr(start, end - start);
            if (!commandLine.empty()) commandLine += ' ';
            bool quote = word.empty() || word.find_first_of(" \t") != std::string::npos;
            commandLine += quote ? '"' + word + '"' : word;
            start = end + 1;
        }
    }
    return commandLine.data();
}

void ExitProcess(UINT exitCode) {
    std::fflush(nullptr);
    std::exit(static_cast<int>(exitCode));
}

void Sleep(DWORD milliseconds) {
    timespec span{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&span, &span) != 0 && errno == EINTR) {
    }
}
