// The command-line tail: the text after the program's name, ready to use as a file name.
#pragma once

#include <cstddef>

namespace tarnfold {

inline constexpr std::size_t kCommandLineTailSize = 260;  // the tail buffer, terminator included

// Where the program's name ends on a command line.
enum class ProgramNameRule {
    ExeSuffix,  // after the first ".exe" from the second character on, in any case (Windows)
    FirstWord,  // at the end of the first word, quoted or not (Linux: programs carry no .exe)
};

#ifdef _WIN32
inline constexpr ProgramNameRule kProgramNameRule = ProgramNameRule::ExeSuffix;
#else
inline constexpr ProgramNameRule kProgramNameRule = ProgramNameRule::FirstWord;
#endif

// The tail of the process's command line (GetCommandLineA) in the static tail buffer,
// whose address is always returned: after the program's name, one more character and then
// every character below '/' are skipped; the copy ends before the next double quote or at
// the line's end. No name end found, or nothing left: the empty text. A tail of 260 bytes
// or more is cut to 259. Every call overwrites the buffer; nothing is allocated.
char* CommandLineTail();

// The same for the given command line, with the given rule for the name's end. Reads no
// byte past the line's terminating zero.
char* CommandLineTailOf(const char* commandLine, ProgramNameRule rule = kProgramNameRule);

}  // namespace tarnfold
