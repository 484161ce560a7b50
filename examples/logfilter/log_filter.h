// logfilter: keeps the lines of a log that mention a word in any case, replaces a token in
// them, writes them to a file and sums their size field.
#pragma once

#include <cstdint>

struct LogSummary {
    std::int32_t lines;   // lines read
    std::int32_t kept;    // lines that mention the word
    std::int32_t errors;  // kept lines with a status of 400 or more
    std::int64_t bytes;   // the kept lines' size fields, summed
};

// Reads `log` (lines end in LF or CR LF), writes each kept line with `from` replaced by `to`
// and an LF to `keptPath`. Ends the program (as the runtime does) when `log` is missing;
// returns false when `keptPath` cannot be written.
bool FilterLog(const char* log, const char* word, const char* from, const char* to, const char* keptPath,
               LogSummary& summary);
