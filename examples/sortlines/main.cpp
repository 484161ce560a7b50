// sortlines: sorts the lines of a text file, ignoring case, into <name>.sorted.
//
//     sortlines [--descending] [--] <file>
//     sortlines --help
//
// Lines end with CR LF or with LF alone; the sorted file keeps the file's line ends (an
// unterminated last line gets one). Three runtime calls: Recall reads the file into an
// array of lines split at CR LF and at LF (one read, one block), SortArray sorts the line
// records in place, and Store writes them back in large batches (LF ends are gathered in
// batches here). A file that mixes both line ends is refused (exit 1), nothing written; a
// file that cannot be read ends with the runtime's fatal message.
#include <cstddef>
#include <cstring>

#include "platform/win32.h"
#include "tarnfold.h"

using namespace tarnfold;

namespace {

constexpr std::int32_t kLines = 1;
constexpr int kOutputSlot = 1;
constexpr char kDescending[] = "--descending";
constexpr char kUsage[] = "usage: sortlines [--descending] [--] <file>";

// The file and the flags, from the arguments as the platform passes them (argv, which the
// C runtime parses from the Windows command line): a flag counts only as a whole argument,
// and "--" ends the flags, so that any path, however it starts or whatever it holds, names
// its file. Null name: a usage error.
struct Arguments {
    const char* name = nullptr;
    bool descending = false;
    bool help = false;
};

Arguments ParseArguments(int argc, char** argv) {
    Arguments out;
    bool flags = true;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (flags && std::strcmp(arg, "--") == 0) {
            flags = false;
        } else if (flags && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
            out.help = true;
        } else if (flags && std::strcmp(arg, kDescending) == 0) {
            out.descending = true;
        } else if (flags && arg[0] == '-' && arg[1] != '\0') {
            return {};  // an unknown flag
        } else {
            out.name = arg;
            ++files;
        }
    }
    if (files != 1 && !out.help) out.name = nullptr;
    return out;
}

// "sortlines: <name><problem>" on standard error.
void Complain(const char* name, const char* problem) {
    const char* parts[] = {"sortlines: ", name, problem, "\r\n"};
    DWORD written = 0;
    for (const char* part : parts)
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), part, static_cast<DWORD>(std::strlen(part)), &written, nullptr);
}

std::uint32_t LengthOf(const ElementRecord& element) {
    return static_cast<std::uint32_t>(element.length < 0 ? -element.length : element.length);
}

// How the recalled file's lines end. The elements lie in file order in one block, each
// followed by its line end, so the gap to the next element's start (for the last, to the
// file's end) is the line end's length: 2 for CR LF, 1 for LF, 0 for none. No line end at
// all counts as CR LF.
enum class Style { CrLf, Lf, Mixed };

Style StyleOf(const RecallResult& recalled) {
    StringArray* lines = ArrayTable[kLines];
    const char* const fileEnd = lines->sharedText + recalled.size;
    bool crLf = false, lineFeed = false;
    for (std::int32_t i = 0; i < lines->count; ++i) {
        const ElementRecord& line = *lines->Element(i);
        const char* next = i + 1 < lines->count ? lines->Element(i + 1)->text : fileEnd;
        const std::ptrdiff_t gap = next - (line.text + LengthOf(line));
        crLf |= gap == 2;
        lineFeed |= gap == 1;
    }
    return crLf && lineFeed ? Style::Mixed : lineFeed ? Style::Lf : Style::CrLf;
}

// Writes `size` bytes to the file in `slot` with one WriteFile (a builder part would end at
// a zero byte, which a line may hold); a failed or short write ends with the system's
// message, as a builder write does.
void WriteToSlot(int slot, const char* bytes, std::size_t size) {
    HANDLE file = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(FileSlotTable[slot]));
    DWORD written = 0;
    if (!WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) || written != size) FatalSystemError();
}

// Store with LF line ends: the lines are gathered in a batch and written through a file
// slot whenever the next one would not fit; a line longer than a batch goes on its own.
void StoreWithLineFeeds(const char* name) {
    if (OpenOutput(kOutputSlot, name, kModeCreate) == kFailedSlot) FatalError(kErrorOpenForStore, name);
    static char batch[1 << 16];
    std::size_t used = 0;
    const std::int32_t count = ArrayTable[kLines]->count;
    for (std::int32_t i = 0; i < count; ++i) {
        const ElementRecord& line = *ArrayTable[kLines]->Element(i);
        const std::size_t length = LengthOf(line);
        if (used + length + 1 > sizeof batch) {
            WriteToSlot(kOutputSlot, batch, used);
            used = 0;
        }
        if (length + 1 > sizeof batch) {
            WriteToSlot(kOutputSlot, line.text, length);
            WriteToSlot(kOutputSlot, "\n", 1);
            continue;
        }
        std::memcpy(batch + used, line.text, length);
        batch[used + length] = '\n';
        used += length + 1;
    }
    WriteToSlot(kOutputSlot, batch, used);
    CloseFile(kOutputSlot);
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments arguments = ParseArguments(argc, argv);
    if (arguments.help) {
        Print(kUsage, kTokenCrLf,
              "Sorts the lines of a text file without regard to case into <file>.sorted.", kTokenCrLf,
              "Lines end with CR LF or with LF; the sorted file keeps them. --descending reverses;",
              kTokenCrLf, "-- ends the options (for a file whose name starts with -).", kTokenCrLf);
        ExitProcess(0);
    }
    const char* name = arguments.name;
    const bool descending = arguments.descending;
    if (name == nullptr) {
        Print(kUsage, kTokenCrLf);
        ExitProcess(2);
    }
    RecallResult recalled = Recall(name, kLines, nullptr, nullptr, LineEnds::CrLfOrLf);
    const Style style = StyleOf(recalled);
    if (style == Style::Mixed) {
        Complain(name, ": mixes CR LF and LF line ends; not sorted");
        EraseArray(kAllArrays);
        ExitProcess(1);
    }
    SortArray(descending ? -kLines : kLines);
    char* sorted = Assign(nullptr, name, ".sorted");
    if (style == Style::Lf) StoreWithLineFeeds(sorted);
    else Store(sorted, kLines);
    EraseArray(kAllArrays);
    ReleaseHeapString(kReleaseAll);
    ExitProcess(0);
}
