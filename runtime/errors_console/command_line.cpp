// CommandLineTail: the text after the program's name on the process's command line.
#include "command_line.h"

#include "../platform/win32.h"

namespace tarnfold {
namespace {

char tailBuffer[kCommandLineTailSize];

// The position just after the first ".exe" (dot exact, letters in either case) from the
// second character on, or null. Each compare stops at the first byte that differs, and a
// zero byte differs from every byte sought, so no read passes the terminator.
const char* AfterExeSuffix(const char* line) {
    if (line[0] == '\0') return nullptr;
    for (const char* at = line + 1; *at != '\0'; ++at)
        if (at[0] == '.' && (at[1] | 0x20) == 'e' && (at[2] | 0x20) == 'x' && (at[3] | 0x20) == 'e')
            return at + 4;
    return nullptr;
}

// The position just after the first word's last character: before its closing quote when
// the word is quoted, before the first blank otherwise; the line's end if neither comes.
const char* AfterFirstWord(const char* line) {
    const char* at = line;
    if (*at == '"') {
        ++at;
        while (*at != '\0' && *at != '"') ++at;
    } else {
        while (*at != '\0' && *at != ' ' && *at != '\t') ++at;
    }
    return at;
}

}  // namespace

char* CommandLineTailOf(const char* commandLine, ProgramNameRule rule) {
    const char* at = rule == ProgramNameRule::ExeSuffix ? AfterExeSuffix(commandLine)
                                                        : AfterFirstWord(commandLine);
    std::size_t size = 0;
    if (at != nullptr) {
        if (*at != '\0') ++at;  // the closing quote or the blank after the name
        while (*at != '\0' && static_cast<unsigned char>(*at) < '/') ++at;
        while (size < kCommandLineTailSize - 1 && at[size] != '\0' && at[size] != '"') ++size;
        for (std::size_t i = 0; i < size; ++i) tailBuffer[i] = at[i];
    }
    tailBuffer[size] = '\0';
    return tailBuffer;
}

char* CommandLineTail() { return CommandLineTailOf(GetCommandLineA()); }

}  // namespace tarnfold
