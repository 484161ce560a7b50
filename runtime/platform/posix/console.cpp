// Console calls on a terminal: SGR colours, UTF-8 wide output, raw keyboard reads.
#include "../win32.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using tarnfold::posix::HandleDescriptor;

constexpr int kCtrlZ = 26;
constexpr int kEscapeWaitMs = 30;  // a sequence's bytes arrive together; a lone ESC does not

UINT outputCodePage = 1252;

// The terminal descriptor behind a console handle, or -1 with ERROR_INVALID_HANDLE.
int ConsoleDescriptor(HANDLE console) {
    int descriptor = HandleDescriptor(console);
    if (descriptor < 0) return -1;
    if (isatty(descriptor) != 1) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return descriptor;
}

bool WriteAll(int descriptor, const char* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(descriptor, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            tarnfold::posix::SetLastErrorFromErrno(errno);
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Windows colour bits (blue 1, green 2, red 4) in SGR's order (red 1, green 2, blue 4).
int SgrColour(unsigned bits) { return ((bits & 1) << 2) | (bits & 2) | ((bits & 4) >> 2); }

// ---- keyboard -------------------------------------------------------------------------

struct Keyboard {
    bool rawChecked = false;
    bool raw = false;
    termios saved{};
    int pendingCode = -1;        // the second code of an extended key
    unsigned char ahead[16];     // bytes read while looking for a sequence, not yet keys
    int aheadCount = 0;
};

Keyboard keyboard;

void RestoreTerminal() {
    if (keyboard.raw) tcsetattr(STDIN_FILENO, TCSANOW, &keyboard.saved);
}

void RestoreAndRaise(int signal) {
    RestoreTerminal();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// On a terminal: no line buffering, no echo, Enter as CR; kept until the process ends.
void EnterRawMode() {
    if (keyboard.rawChecked) return;
    keyboard.rawChecked = true;
    if (isatty(STDIN_FILENO) != 1 || tcgetattr(STDIN_FILENO, &keyboard.saved) != 0) return;
    termios raw = keyboard.saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
    keyboard.raw = true;
    std::atexit(RestoreTerminal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, RestoreAndRaise);
}

// True when a byte (or the end of the input) can be read within `waitMs`.
bool InputReady(int waitMs) {
    pollfd entry{STDIN_FILENO, POLLIN, 0};
    while (true) {
        int n = poll(&entry, 1, waitMs);
        if (n >= 0) return n > 0;
        if (errno != EINTR) return true;  // a broken input reads as its end
    }
}

// One byte of input, or -1 at its end.
int ReadByte() {
    if (keyboard.aheadCount > 0) {
        int byte = keyboard.ahead[0];
        std::memmove(keyboard.ahead, keyboard.ahead + 1, static_cast<std::size_t>(--keyboard.aheadCount));
        return byte;
    }
    unsigned char byte;
    while (true) {
        ssize_t n = read(STDIN_FILENO, &byte, 1);
        if (n == 1) return byte;
        if (n < 0 && errno == EINTR) continue;
        return -1;
    }
}

struct KeySequence {
    const char* bytes;  // after the ESC
    int first;          // 0xE0 or 0
    int scanCode;
};

// The sequences terminals send for the keys Windows reports as two codes.
constexpr KeySequence kSequences[] = {
    {"[A", 0xE0, 0x48}, {"[B", 0xE0, 0x50}, {"[C", 0xE0, 0x4D}, {"[D", 0xE0, 0x4B},
    {"OA", 0xE0, 0x48}, {"OB", 0xE0, 0x50}, {"OC", 0xE0, 0x4D}, {"OD", 0xE0, 0x4B},
    {"[H", 0xE0, 0x47}, {"[F", 0xE0, 0x4F}, {"OH", 0xE0, 0x47}, {"OF", 0xE0, 0x4F},
    {"[1~", 0xE0, 0x47}, {"[7~", 0xE0, 0x47}, {"[4~", 0xE0, 0x4F}, {"[8~", 0xE0, 0x4F},
    {"[2~", 0xE0, 0x52}, {"[3~", 0xE0, 0x53}, {"[5~", 0xE0, 0x49}, {"[6~", 0xE0, 0x51},
    {"OP", 0, 0x3B}, {"OQ", 0, 0x3C}, {"OR", 0, 0x3D}, {"OS", 0, 0x3E},
    {"[11~", 0, 0x3B}, {"[12~", 0, 0x3C}, {"[13~", 0, 0x3D}, {"[14~", 0, 0x3E},
    {"[[A", 0, 0x3B}, {"[[B", 0, 0x3C}, {"[[C", 0, 0x3D}, {"[[D", 0, 0x3E}, {"[[E", 0, 0x3F},
    {"[15~", 0, 0x3F}, {"[17~", 0, 0x40}, {"[18~", 0, 0x41}, {"[19~", 0, 0x42},
    {"[20~", 0, 0x43}, {"[21~", 0, 0x44}, {"[23~", 0xE0, 0x85}, {"[24~", 0xE0, 0x86},
};

// After an ESC: the bytes of a key sequence, up to its final letter or '~'. Sequences with
// modifiers ("[1;5A") count as the plain key. Unknown sequences stay input, read as keys.
int DecodeEscape() {
    unsigned char got[sizeof keyboard.ahead];
    int count = 0;
    while (count < static_cast<int>(sizeof got) && (keyboard.aheadCount > 0 || InputReady(kEscapeWaitMs))) {
        int byte = ReadByte();
        if (byte < 0) break;
        got[count++] = static_cast<unsigned char>(byte);
        bool final = (byte >= 'A' && byte <= 'Z') || byte == '~';
        bool opening = count == 1 || (count == 2 && got[0] == '[' && byte == '[');
        if (count == 1 && byte != '[' && byte != 'O') break;
        if (final && !opening) break;
    }
    // Drop a modifier parameter: "[1;5A" -> "[1A" -> "[A", "[5;2~" -> "[5~".
    char key[sizeof got + 1];
    int length = 0;
    for (int i = 0; i < count; ++i) {
        if (got[i] == ';')
            while (i + 2 < count && got[i + 1] >= '0' && got[i + 1] <= '9') ++i;
        else
            key[length++] = static_cast<char>(got[i]);
    }
    if (length == 3 && key[0] == '[' && key[1] == '1' && key[2] != '~') {
        key[1] = key[2];
        length = 2;
    }
    key[length] = '\0';
    for (const KeySequence& sequence : kSequences)
        if (std::strcmp(sequence.bytes, key) == 0) {
            keyboard.pendingCode = sequence.scanCode;
            return sequence.first;
        }
    // Not a key we know: ESC is the key, the rest waits as input.
    std::memmove(keyboard.ahead + count, keyboard.ahead, static_cast<std::size_t>(keyboard.aheadCount));
    std::memcpy(keyboard.ahead, got, static_cast<std::size_t>(count));
    keyboard.aheadCount += count;
    return 27;
}

// Standard stream 0, 1 or 2 for -10, -11 or -12; -1 for anything else.
int StreamOf(DWORD stdHandle) {
    if (stdHandle == STD_INPUT_HANDLE) return 0;
    if (stdHandle == STD_OUTPUT_HANDLE) return 1;
    if (stdHandle == STD_ERROR_HANDLE) return 2;
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
}

HANDLE standardHandles[3] = {tarnfold::posix::StandardHandle(0), tarnfold::posix::StandardHandle(1),
                             tarnfold::posix::StandardHandle(2)};

}  // namespace

HANDLE GetStdHandle(DWORD stdHandle) {
    int stream = StreamOf(stdHandle);
    return stream < 0 ? INVALID_HANDLE_VALUE : standardHandles[stream];
}

BOOL SetStdHandle(DWORD stdHandle, HANDLE handle) {
    int stream = StreamOf(stdHandle);
    if (stream < 0) return FALSE;
    standardHandles[stream] = handle;
    return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE console, WORD attributes) {
    int descriptor = ConsoleDescriptor(console);
    if (descriptor < 0) return FALSE;
    int foreground = SgrColour(attributes & 7) + ((attributes & FOREGROUND_INTENSITY) ? 90 : 30);
    int background = SgrColour((attributes >> 4) & 7) + ((attributes & BACKGROUND_INTENSITY) ? 100 : 40);
    char sequence[32];
    int length = std::snprintf(sequence, sizeof sequence, "\x1b[0;%s%s%d;%dm",
                               (attributes & COMMON_LVB_UNDERSCORE) ? "4;" : "",
                               (attributes & COMMON_LVB_REVERSE_VIDEO) ? "7;" : "", foreground,
                               background);
    return WriteAll(descriptor, sequence, static_cast<std::size_t>(length)) ? TRUE : FALSE;
}

BOOL WriteConsoleW(HANDLE console, const void* buffer, DWORD units, LPDWORD written, LPVOID) {
    if (written != nullptr) *written = 0;
    int descriptor = ConsoleDescriptor(console);
    if (descriptor < 0) return FALSE;
    const auto* text = static_cast<const WCHAR*>(buffer);
    char chunk[3 * 1024 + 4];
    DWORD done = 0;
    while (done < units) {
        // Up to 1024 units per chunk, never splitting a surrogate pair between chunks.
        DWORD take = units - done < 1024 ? units - done : 1024;
        if (take < units - done && text[done + take - 1] >= 0xD800 && text[done + take - 1] < 0xDC00)
            --take;
        int bytes = WideCharToMultiByte(CP_UTF8, 0, text + done, static_cast<int>(take), chunk,
                                        static_cast<int>(sizeof chunk), nullptr, nullptr);
        if (!WriteAll(descriptor, chunk, static_cast<std::size_t>(bytes))) return FALSE;
        done += take;
        if (written != nullptr) *written = done;
    }
    return TRUE;
}

BOOL SetConsoleOutputCP(UINT codePage) {
    if (codePage != 1252 && codePage != CP_UTF8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    outputCodePage = codePage;
    return TRUE;
}

UINT GetConsoleOutputCP() { return outputCodePage; }

BOOL FlushConsoleInputBuffer(HANDLE input) {
    int descriptor = ConsoleDescriptor(input);
    if (descriptor < 0) return FALSE;
    tcflush(descriptor, TCIFLUSH);
    if (descriptor == STDIN_FILENO) keyboard.aheadCount = 0;
    return TRUE;
}

int _kbhit() {
    EnterRawMode();
    if (keyboard.pendingCode >= 0 || keyboard.aheadCount > 0) return 1;
    return InputReady(0) ? 1 : 0;
}

int _getch() {
    EnterRawMode();
    if (keyboard.pendingCode >= 0) {
        int code = keyboard.pendingCode;
        keyboard.pendingCode = -1;
        return code;
    }
    int byte = ReadByte();
    if (byte < 0) return kCtrlZ;
    if (byte == 0x1B) return DecodeEscape();
    if (byte == 0x7F) return 8;
    return byte;
}
