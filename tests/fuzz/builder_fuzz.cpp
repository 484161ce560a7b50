// The string builder with random part lists: pointers (byte or UTF-16 texts), predefined
// and slot-number tokens, and temporaries of every producer (ring texts, views, a
// repetition, element reads, zero-fill and splice records), delivered to a variable, an
// array element (owned, borrowed or empty) or a file slot, with the ring position near its
// wrap, near its usable end or on the parts' own bytes. The result must be the parts'
// texts concatenated; every other element keeps its text. An element assignment follows
// its element when the arrays are swapped between the access and the assignment.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/storage_probe.h"
#include "tarnfold.h"

namespace {

using namespace tarnfold;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "builder: %s\n", what);
    std::abort();
}

struct Files {
    std::string dir, lines, output;
    Files() {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/tarnfold-fuzz-XXXXXX" : "/tmp/tarnfold-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) Fail("no temporary folder");
        dir = pattern;
        lines = dir + "/lines.txt";
        output = dir + "/output.txt";
        std::FILE* f = std::fopen(lines.c_str(), "wb");
        std::fputs("first line\r\n\r\nb\r\nlonger line of text\r\nx\r\n", f);
        std::fclose(f);
    }
    ~Files() {
        std::remove(lines.c_str());
        std::remove(output.c_str());
        rmdir(dir.c_str());
    }
};

std::string ReadFile(const std::string& name) {
    std::string all;
    std::FILE* f = std::fopen(name.c_str(), "rb");
    char buffer[4096];
    for (std::size_t got; f != nullptr && (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;) all.append(buffer, got);
    if (f != nullptr) std::fclose(f);
    return all;
}

using Texts = std::map<std::pair<int, int>, std::string>;  // (array, index) -> element text

// The arrays an input works on: 1 with owned and empty elements, 2 recalled (borrowed).
Texts MakeArrays(FuzzedDataProvider& in, const Files& files) {
    Texts texts;
    CreateArray(1, 5);
    for (int i = 0; i <= 5; ++i) {
        std::string t = in.ConsumeRandomLengthString(40);
        t.resize(std::strlen(t.c_str()));
        texts[{1, i}] = in.ConsumeBool() ? t : "";
        if (!texts[{1, i}].empty()) {
            AccessElement(1, i, __LINE__);
            AssignElement(t.c_str());
        }
    }
    RecallResult r = Recall(files.lines.c_str(), 2);
    const char* const kLines[] = {"first line", "", "b", "longer line of text", "x"};
    for (int i = 0; i < r.count; ++i) texts[{2, i}] = kLines[i];
    return texts;
}

void CheckArrays(const Texts& texts) {
    for (const auto& [at, text] : texts) {
        const ElementRecord& e = *ArrayTable[at.first]->Element(at.second);
        const std::size_t length = static_cast<std::size_t>(e.length < 0 ? -e.length : e.length);
        if (length != text.size() || (length > 0 && std::memcmp(e.text, text.data(), length) != 0))
            Fail("an element's text changed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Files files;
    FuzzedDataProvider in(data, size);
    const int destination = in.ConsumeIntegralInRange(0, 2);  // variable, element, file
    const bool wide = destination != 1 && in.ConsumeBool();
    const bool element = destination == 1;
    const int parts = in.ConsumeIntegralInRange(1, kMaxBuildParts);
    Texts texts = MakeArrays(in, files);
    std::list<std::string> keep;  // texts that parts point to, alive until the call
    auto text = [&](std::size_t most) -> std::string& {
        keep.push_back(in.ConsumeRandomLengthString(most));
        keep.back().resize(std::strlen(keep.back().c_str()));
        return keep.back();
    };

    std::pair<int, int> target{1, 0};
    if (element) {
        target = {in.ConsumeIntegralInRange(1, 2), in.ConsumeIntegralInRange(0, 4)};
        AccessElement(target.first, target.second, __LINE__);
        if (in.ConsumeBool()) {  // the element moves to the other number with its array
            SwapArrays(1, 2);
            Texts swapped;
            for (const auto& [at, t] : texts) swapped[{3 - at.first, at.second}] = t;
            texts.swap(swapped);
            target.first = 3 - target.first;
        }
    }
    SetRingPosition(ScratchRing + 4 * in.ConsumeIntegralInRange<std::size_t>(0, 470000 / 4));
    char* const temporariesStart = RingPosition();

    std::vector<Word> args;
    std::string expected;
    std::map<int, std::string> slotTexts;  // temporaries of this call by slot number
    int temporaries = 0;
    bool repeated = false;
    for (int i = 0; i < parts; ++i) {
        int kind = in.ConsumeIntegralInRange(0, 11);
        if (kind >= 4 && temporaries == (element ? 19 : 20)) kind = 0;  // the slots hold 20
        if (kind == 3 && slotTexts.empty()) kind = 1;
        std::string part;
        if (kind == 0) {  // a pointer
            std::string& t = text(60);
            if (wide) {
                t.resize(t.size() & ~std::size_t{1});
                for (std::size_t u = 0; u < t.size(); u += 2)
                    if (t[u] == 0 && t[u + 1] == 0) t[u] = 'w';
                t.append(2, '\0');
                part = t.substr(0, t.size() - 2);
            } else {
                part = t;
            }
            args.push_back(static_cast<Word>(reinterpret_cast<std::uintptr_t>(t.data())));
        } else if (kind <= 2) {  // a predefined text
            Word token = in.ConsumeIntegralInRange<Word>(1, 7);
            args.push_back(token);
            part.assign(PredefinedStrings[token].text, static_cast<std::size_t>(PredefinedStrings[token].length));
            if (token == 6 && part.empty()) Fail("no folder text");
        } else if (kind == 3) {  // a temporary by its slot number
            auto it = slotTexts.begin();
            std::advance(it, in.ConsumeIntegralInRange<std::size_t>(0, slotTexts.size() - 1));
            args.push_back(SlotToken(it->first));
            part = it->second;
        } else {  // the next temporary
            int producer = in.ConsumeIntegralInRange(0, 6);
            if (producer == 2 && repeated) producer = 0;  // one repetition buffer
            switch (producer) {
                case 0:
                    part = text(80);
                    testing_support::RecordText(part.c_str());
                    break;
                case 1: {  // a view, narrowed in place
                    std::string t = text(80);
                    const auto n = in.ConsumeIntegralInRange<std::int32_t>(-1, 90);
                    const auto start = in.ConsumeIntegralInRange<std::int32_t>(-1, 90);
                    const char* at = testing_support::RecordText(t.c_str()).start;
                    const TempSlot* slot = SubText(LastTempArg(), n, start);
                    if (slot->text < at || slot->length < 0 || slot->text + slot->length > at + t.size()) Fail("view");
                    part.assign(slot->text, static_cast<std::size_t>(slot->length));
                    break;
                }
                case 2: {
                    std::string& t = text(6);
                    const auto count = in.ConsumeIntegralInRange<std::int32_t>(0, 20);
                    RepeatText(t.c_str(), count);
                    for (int c = 0; c < count; ++c) part += t;
                    repeated = true;
                    break;
                }
                case 3: {  // an element read
                    std::pair<int, int> at{in.ConsumeIntegralInRange(1, 2), in.ConsumeIntegralInRange(0, 4)};
                    AccessElement(at.first, at.second, __LINE__);
                    part = texts[at];
                    break;
                }
                case 4: {
                    std::string& t = text(80);
                    const int sides = in.ConsumeIntegralInRange(0, 3);
                    part = TrimText(t.c_str(), sides).start;
                    break;
                }
                case 5: {
                    const auto n = in.ConsumeIntegralInRange<std::int32_t>(1, 200);
                    NewStr(n);
                    part.assign(static_cast<std::size_t>(n), '\0');
                    break;
                }
                default: {  // an exact replace, its reference by std::string::find
                    std::string &source = text(60), &found = text(3), &replacement = text(5);
                    Replace(source.c_str(), found.c_str(), replacement.c_str(), 0);
                    std::size_t from = 0;
                    for (std::size_t at; !found.empty() && (at = source.find(found, from)) != std::string::npos; from = at + found.size())
                        part += source.substr(from, at - from) + replacement;
                    part += source.substr(from);
                }
            }
            args.push_back(kLastTemp);
            slotTexts[SlotNumber(SelectTempSlot(0))] = part;
            ++temporaries;
        }
        expected += part;
    }

    // The output room: near the wrap, near the usable end, on the temporaries, or anywhere.
    const std::size_t back = 4 * in.ConsumeIntegralInRange<std::size_t>(0, 64);
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: SetRingPosition(ScratchRing + kRingWrapOffset - back); break;
        case 1: SetRingPosition(ScratchRing + (kRingUsableEnd & ~std::size_t{3}) - back); break;
        case 2: SetRingPosition(temporariesStart + back); break;
        default: break;
    }
    const Word count = static_cast<Word>(args.size()) | (wide ? kBuildWide : 0);
    if (destination == 0) {
        const char* previous = Assign(nullptr, "previous value");
        args.push_back(static_cast<Word>(reinterpret_cast<std::uintptr_t>(previous)));
        char* result = StringBuilderCore(ToVariable(0) | count, args.data());
        if (std::memcmp(result, expected.data(), expected.size()) != 0 ||
            std::memcmp(result + expected.size(), "\0\0\0", 3) != 0)
            Fail("variable text");
        if (testing_support::IsRegistered(previous) || !testing_support::IsRegistered(result)) Fail("variable blocks");
        ReleaseHeapString(result);
    } else if (element) {
        char* result = StringBuilderCore(ToElement(0) | count, args.data());
        const ElementRecord& e = *ArrayTable[target.first]->Element(target.second);
        const std::int32_t length = e.length < 0 ? -e.length : e.length;
        if (result != (e.text != nullptr ? e.text : EmptyString) || length != static_cast<std::int32_t>(expected.size()) ||
            std::memcmp(result, expected.data(), expected.size()) != 0 || result[expected.size()] != '\0')
            Fail("element text");
        texts[target] = expected;
    } else {
        constexpr int kSlot = 3;
        if (OpenOutput(kSlot, files.output.c_str(), kModeCreate) == kFailedSlot) Fail("OpenOutput");
        StringBuilderCore(ToFileSlot(kSlot, 0) | count, args.data());
        CloseFile(kSlot);
        std::string want = expected;
        if (wide) {  // up to the first zero 16-bit unit
            want.append(3, '\0');
            std::size_t units = 0;
            while (want[2 * units] != 0 || want[2 * units + 1] != 0) ++units;
            want.resize(2 * units);
        }
        if (ReadFile(files.output) != want) Fail("file bytes");
    }
    CheckArrays(texts);
    EraseArray(kAllArrays);
    return 0;
}
