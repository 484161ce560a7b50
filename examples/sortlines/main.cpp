// sortlines: sorts the lines of a text file, ignoring case, into <name>.sorted.
//
//     sortlines [--descending] [--] <file>
//     sortlines --help
//
// Lines end with CR LF or with LF alone; the sorted file keeps the file's line ends (an
// unterminated last line gets one). A CR LF file is three runtime calls: Recall reads the
// file into an array of lines (one read, one block), SortArray sorts the line records in
// place, Store writes them back in large batches. Recall splits at CR LF only, so an LF file
// comes back as one element: it is split in place at its LFs into an array of its own (no
// copy, no allocation per line) and written back in batches. A file that mixes both line
// ends is refused (exit 1), nothing written; a file that cannot be read ends with the
// runtime's fatal message.
#include <cstring>

#include "platform/win32.h"
#include "tarnfold.h"

using namespace tarnfold;

namespace {

constexpr std::int32_t kLines = 1;
constexpr std::int32_t kSplit = 2;  // an LF file's lines
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

// How the recalled file's lines end: every CR LF split it into elements, so a bare LF left
// in an element is an LF line end. All LF (the whole file one element) or none: the file's
// own style; both: mixed.
enum class LineEnds { CrLf, Lf, Mixed };

LineEnds LineEndsOf(const RecallResult& recalled) {
    StringArray* lines = ArrayTable[kLines];
    bool lineFeeds = false;
    for (std::int32_t i = 0; i < lines->count && !lineFeeds; ++i) {
        const ElementRecord& line = *lines->Element(i);
        lineFeeds = LengthOf(line) > 0 && std::memchr(line.text, '\n', LengthOf(line)) != nullptr;
    }
    if (!lineFeeds) return LineEnds::CrLf;
    bool wholeFile = recalled.count == 1 && LengthOf(*lines->Element(0)) == recalled.size;
    return wholeFile ? LineEnds::Lf : LineEnds::Mixed;
}

// Array kLines holds the whole LF file as one element borrowed from its file block: splits
// it in place into array kSplit, as Recall splits at CR LF: each LF becomes its line's zero
// byte, and the file block moves to kSplit with the lines that borrow from it.
void SplitAtLineFeeds() {
    StringArray* whole = ArrayTable[kLines];
    char* const text = whole->Element(0)->text;
    char* const end = text + LengthOf(*whole->Element(0));
    auto lineEnd = [end](char* from) {
        auto* feed = static_cast<char*>(std::memchr(from, '\n', static_cast<std::size_t>(end - from)));
        return feed != nullptr ? feed : end;  // the block's spare byte ends a last line without LF
    };
    std::int32_t count = 0;
    for (char* at = text; at < end; at = lineEnd(at) + 1) ++count;
    StringArray* lines = CreateArray(kSplit, count - 1);
    char* start = text;
    for (std::int32_t i = 0; i < count; ++i) {
        char* stop = lineEnd(start);
        *lines->Element(i) = {start, -static_cast<std::int32_t>(stop - start)};
        *stop = '\0';
        start = stop + 1;
    }
    lines->sharedText = whole->sharedText;
    whole->sharedText = nullptr;
    EraseArray(kLines);
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
    const std::int32_t count = ArrayTable[kSplit]->count;
    for (std::int32_t i = 0; i < count; ++i) {
        const ElementRecord& line = *ArrayTable[kSplit]->Element(i);
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
    RecallResult recalled = Recall(name, kLines);
    LineEnds ends = LineEndsOf(recalled);
    if (ends == LineEnds::Mixed) {
        Complain(name, ": mixes CR LF and LF line ends; not sorted");
        EraseArray(kAllArrays);
        ExitProcess(1);
    }
    std::int32_t lines = kLines;
    if (ends == LineEnds::Lf) {
        SplitAtLineFeeds();
        lines = kSplit;
    }
    SortArray(descending ? -lines : lines);
    char* sorted = Assign(nullptr, name, ".sorted");
    if (ends == LineEnds::Lf) StoreWithLineFeeds(sorted);
    else Store(sorted, kLines);
    EraseArray(kAllArrays);
    ReleaseHeapString(kReleaseAll);
    ExitProcess(0);
}
