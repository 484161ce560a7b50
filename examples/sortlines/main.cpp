// sortlines: sorts the lines of a CR LF text file, ignoring case, into <name>.sorted.
//
//     sortlines <file> [--descending]
//
// The whole job is three runtime calls: Recall reads the file into an array of lines (one
// read, one block), SortArray sorts the line records in place, Store writes them back in
// large batches. A file that cannot be read ends with the runtime's fatal message.
#include <cstring>

#include "platform/win32.h"
#include "tarnfold.h"

using namespace tarnfold;

namespace {

constexpr std::int32_t kLines = 1;
constexpr char kDescending[] = "--descending";

// The tail after the program's name, without the flag word. The tail ends at a double
// quote, so a quoted name comes first; an unquoted one may also follow the flag.
const char* FileNameFrom(char* tail, bool descending) {
    if (!descending) return tail;
    // The tail skips leading punctuation, so a leading "--descending" arrives as "descending".
    const char* word = kDescending + 2;
    std::size_t length = std::strlen(word);
    if (std::strncmp(tail, word, length) == 0) {
        tail += length;
        while (*tail == ' ' || *tail == '"') ++tail;
        return tail;
    }
    if (char* flag = std::strstr(tail, kDescending)) {
        while (flag > tail && flag[-1] == ' ') --flag;
        *flag = '\0';
    }
    return tail;
}

}  // namespace

int main() {
    bool descending = std::strstr(GetCommandLineA(), kDescending) != nullptr;
    const char* name = FileNameFrom(CommandLineTail(), descending);
    if (*name == '\0') {
        StringBuilder(ToConsole(2), "usage: sortlines <file> [--descending]", kTokenCrLf);
        ExitProcess(2);
    }
    Recall(name, kLines);
    SortArray(descending ? -kLines : kLines);
    const char* sorted = nullptr;
    sorted = StringBuilder(ToVariable(2), name, ".sorted", sorted);
    Store(sorted, kLines);
    EraseArray(kAllArrays);
    ReleaseHeapString(kReleaseAll);
    ExitProcess(0);
}
