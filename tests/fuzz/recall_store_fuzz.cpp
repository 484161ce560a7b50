// Recall of arbitrary file bytes, by name or from a slot, in line mode (either line-end
// choice) and in record mode, against a split written here; then Store of the array, by name or to a slot,
// whose file must hold each element followed by CR LF, byte for byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tarnfold.h"

namespace {

using namespace tarnfold;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "recall_store: %s\n", what);
    std::abort();
}

// Line mode: every CR LF ends a line; a last line without one is one more element. With
// `lineFeeds`, every LF ends a line, a CR right before it left out. Record mode: only a CR LF
// followed by the mark inside the data splits; the last record leaves out a final CR LF.
std::vector<std::string> Split(const std::string& bytes, bool records, bool lineFeeds, char first, char second) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    if (!records && lineFeeds) {
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            if (bytes[at] != '\n') continue;
            const std::size_t end = at > start && bytes[at - 1] == '\r' ? at - 1 : at;
            parts.push_back(bytes.substr(start, end - start));
            start = at + 1;
        }
        if (start < bytes.size()) parts.push_back(bytes.substr(start));
        return parts;
    }
    for (std::size_t at = 0; at + 1 < bytes.size(); ++at) {
        if (bytes[at] != '\r' || bytes[at + 1] != '\n') continue;
        if (records && (at + 3 >= bytes.size() || bytes[at + 2] != first || bytes[at + 3] != second)) continue;
        parts.push_back(bytes.substr(start, at - start));
        start = at + 2;
    }
    if (!records) {
        if (start < bytes.size()) parts.push_back(bytes.substr(start));
        return parts;
    }
    std::size_t end = bytes.size();
    if (end >= 2 && bytes.compare(end - 2, 2, "\r\n") == 0 && end - 2 >= start) end -= 2;
    parts.push_back(bytes.substr(start, end - start));
    return parts;
}

void WriteWholeFile(const std::string& name, const std::string& bytes) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) Fail("cannot write the input");
    std::fclose(f);
}

std::string ReadWholeFile(const std::string& name) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr) Fail("no output file");
    std::string all;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;) all.append(buffer, got);
    std::fclose(f);
    return all;
}

struct Folder {
    std::string in, out;
    Folder() {
        // Memory-backed where there is one: the target writes two files per input.
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/tarnfold-fuzz-XXXXXX" : "/tmp/tarnfold-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (made == nullptr) Fail("no temporary folder");
        dir = made;
        in = dir + "/in.txt";
        out = dir + "/out.txt";
    }
    ~Folder() {
        std::remove(in.c_str());
        std::remove(out.c_str());
        rmdir(dir.c_str());
    }
    std::string dir;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Folder folder;
    FuzzedDataProvider in(data, size);
    const bool records = in.ConsumeBool(), countToo = in.ConsumeBool(), lineFeeds = in.ConsumeBool();
    const LineEnds ends = lineFeeds ? LineEnds::CrLfOrLf : LineEnds::CrLf;
    const char first = in.ConsumeIntegral<char>(), second = in.ConsumeIntegral<char>();
    const int inSlot = in.ConsumeIntegralInRange(-1, 8), outSlot = in.ConsumeIntegralInRange(-1, 8);
    const std::int32_t array = in.ConsumeIntegralInRange(1, kArrayCount - 1);
    const int storeKind = in.ConsumeIntegralInRange(0, 2);
    // Arrays 0 and the target may hold owned texts: Recall frees both.
    for (std::int32_t number : {0, array}) {
        if (!in.ConsumeBool()) continue;
        CreateArray(number, 2);
        AccessElement(number, 1, __LINE__);
        AssignElement("old text");
    }
    std::string bytes = in.ConsumeRemainingBytesAsString();
    if (bytes.size() > 1 && (static_cast<unsigned char>(bytes[0]) & 1))  // mostly lines: CR, LF and a little text
        for (std::size_t i = 1; i < bytes.size(); ++i) bytes[i] = "\r\n\r\nab-"[static_cast<unsigned char>(bytes[i]) % 7];
    WriteWholeFile(folder.in, bytes);

    std::int32_t recalledCount = -1;  // on the stack, where Linux places it at 0xFF8xxxxx and up
    FileRef source = NameRef(folder.in.c_str());
    if (inSlot >= 0) {
        if (OpenInput(inSlot, folder.in.c_str(), kNoSearch) == kFailedSlot) Fail("OpenInput");
        source = static_cast<FileRef>(inSlot);
    }
    std::int32_t* const countTo = countToo ? &recalledCount : nullptr;
    // CrLf is also taken through the overload without a line-end choice.
    const RecallResult result = records                                  ? Recall(source, array, nullptr, RecordMarker(first, second))
                                : lineFeeds || (bytes.size() & 1) != 0 ? Recall(source, array, nullptr, countTo, ends)
                                                                         : Recall(source, array, nullptr, countTo);
    const std::vector<std::string> expected = Split(bytes, records, lineFeeds, first, second);
    if (inSlot >= 0 && FileSlotTable[inSlot] != kFreeSlot) Fail("slot not freed");
    if (result.count != static_cast<std::int32_t>(expected.size()) || result.size != bytes.size()) Fail("count or size");
    if (countToo && !records && recalledCount != result.count) Fail("count variable");
    if (ArrayTable[0] != kErasedArray) Fail("work array left");
    StringArray* recalled = ArrayTable[array];
    if (recalled->count != result.count) Fail("element count");
    for (std::int32_t i = 0; i < recalled->count; ++i) {
        const ElementRecord& e = *recalled->Element(i);
        const std::string& want = expected[static_cast<std::size_t>(i)];
        if (e.length != -static_cast<std::int32_t>(want.size()) || std::memcmp(e.text, want.data(), want.size()) != 0)
            Fail("element text");
        if ((!records || i + 1 < recalled->count) && e.text[want.size()] != '\0') Fail("element not terminated");
    }

    // Store every element, or the first `count`.
    std::int32_t count = storeKind == 0 ? -1 : in.ConsumeIntegralInRange<std::int32_t>(0, result.count);
    if (storeKind == 2) count = result.count;
    std::string stored;
    for (std::int32_t i = 0; i < (count < 0 ? result.count : count); ++i) stored += expected[static_cast<std::size_t>(i)] + "\r\n";
    if (outSlot >= 0) {
        if (OpenOutput(outSlot, folder.out.c_str(), kModeCreate) == kFailedSlot) Fail("OpenOutput");
        Store(static_cast<FileRef>(outSlot), array, count);
        if (FileSlotTable[outSlot] != kFreeSlot) Fail("output slot not freed");
    } else {
        Store(folder.out.c_str(), array, count);
    }
    if (ReadWholeFile(folder.out) != stored) Fail("stored bytes");
    EraseArray(kAllArrays);
    return 0;
}
