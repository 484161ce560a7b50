// SubText, TrimText, ChangeCase and KeepTemp in random sequences, each result against a
// reference: the view rules of SubText (pointer, length and slot), a trim by the signed
// blank rule, the Windows-1252 case mapping, and copies of the current temporary. Every
// copy of the last seven KeepTemp calls, across inputs, must still hold its text; a copy
// the program releases early leaves its address to a variable that KeepTemp never frees.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include "support/storage_probe.h"
#include "tarnfold.h"

namespace {

using namespace tarnfold;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "text_functions: %s\n", what);
    std::abort();
}

struct View {
    const char* text;
    std::int32_t length;
};

View Part(View s, std::int32_t n, std::int32_t start) {
    if (n == 0 || start == 0) return {s.text, 0};
    if (start < 0) return n > s.length || n < 0 ? s : View{s.text + s.length - n, n};
    if (start > s.length) return {s.text, 0};
    const std::int32_t rest = s.length - start + 1;
    return {s.text + start - 1, n > 0 && n <= rest ? n : rest};
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

unsigned char Upper(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
    if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
    return c == 0xFF ? 0x9F : c;
}
unsigned char Lower(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 0x10;
    return c == 0x9F ? 0xFF : c;
}

struct Kept {
    const char* copy;
    std::string text;
};
std::deque<Kept> kept;  // the copies of the last seven KeepTemp calls

void ExpectCurrent(const char* text, std::int32_t length, const char* what) {
    const TempSlot& slot = *SelectTempSlot(0);
    if (slot.text != text || slot.length != length) Fail(what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    SetRingPosition(ScratchRing + 4 * in.ConsumeIntegralInRange<std::size_t>(0, kRingWrapOffset / 4 - 1));
    std::list<std::string> sources;  // texts that views point into, alive for this input
    std::vector<const char*> blocks;
    std::vector<Kept> variables;  // variables assigned after a kept copy was released
    auto text = [&]() -> const std::string& {
        sources.push_back(in.ConsumeRandomLengthString(300));
        sources.back().resize(std::strlen(sources.back().c_str()));
        return sources.back();
    };
    // The current temporary as a view, known from the first step on.
    View current{testing_support::RecordText(text().c_str()).start, static_cast<std::int32_t>(sources.back().size())};
    for (int step = 0; step < 40 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 7)) {
            case 0: {  // a new temporary
                const std::string& t = text();
                current = {testing_support::RecordText(t.c_str()).start, static_cast<std::int32_t>(t.size())};
                break;
            }
            case 1:
            case 2: {  // SubText of the temporary, a text, a predefined text or an invalid token
                static const char* const kPredefined[] = {nullptr, "\r\n", "\t", " ", "  ", "    ", nullptr, "X"};
                const auto n = in.ConsumeIntegralInRange<std::int32_t>(-3, 320);
                const auto start = in.ConsumeIntegralInRange<std::int32_t>(-3, 320);
                const int kind = in.ConsumeIntegralInRange(0, 2);
                const TempSlot* before = SelectTempSlot(0);
                const char* arg = LastTempArg();
                View source = current;
                if (kind == 1) {
                    arg = text().c_str();
                    source = {arg, static_cast<std::int32_t>(std::strlen(arg))};
                } else if (kind == 2) {
                    Word token = in.PickValueInArray({1u, 2u, 3u, 4u, 5u, 7u, 0u, 8u, 9u, 10u, 31u, 0x77u, 0x78u, 0x7Eu, 0x80u, 0xFFFFu});
                    arg = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(token));
                    source = token <= 7 && kPredefined[token] ? View{PredefinedStrings[token].text, PredefinedStrings[token].length}
                                                              : View{EmptyString, 0};
                    if (token <= 7 && kPredefined[token] && std::strcmp(source.text, kPredefined[token]) != 0)
                        Fail("predefined text");
                }
                const View view = Part(source, n, start);
                const bool sameSlot = arg == LastTempArg() || view.text == before->text;
                TempSlot* slot = SubText(arg, n, start);
                if ((slot == before) != sameSlot || slot != SelectTempSlot(0)) Fail("SubText slot");
                ExpectCurrent(view.text, view.length, "SubText view");
                current = view;
                break;
            }
            case 3: {  // TrimText of a text, or of the text at the ring position in place
                const int sides = in.ConsumeIntegralInRange(0, 3);
                std::string t = text();
                if (in.ConsumeBool()) {  // long runs of blanks around it, of one byte each
                    const char before = in.ConsumeIntegralInRange<char>(0x01, 0x20);
                    const char after = in.ConsumeIntegralInRange<char>(0x01, 0x20);
                    t = std::string(in.ConsumeIntegralInRange<std::size_t>(0, 300), before) + t +
                        std::string(in.ConsumeIntegralInRange<std::size_t>(0, 300), after);
                }
                char* position = RingPosition();
                const char* arg = t.c_str();
                switch (in.ConsumeIntegralInRange(0, 4)) {
                    case 4:  // the current temporary by its address, read to its zero byte
                        arg = current.text;
                        t = current.text;
                        break;
                    case 1:  // in place
                        std::memcpy(position, t.c_str(), t.size() + 1);
                        arg = nullptr;
                        break;
                    case 2:  // the current temporary, a view read by its length
                        arg = LastTempArg();
                        t.assign(current.text, static_cast<std::size_t>(current.length));
                        break;
                    case 3:  // a value below 64 KiB that is no token: the empty text
                        arg = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(
                            in.ConsumeIntegralInRange<std::uint32_t>(0x80, kLowestAddress - 1)));
                        t.clear();
                        break;
                }
                std::size_t first = 0, end = t.size();
                if (sides & kTrimTrailing)
                    while (end > 0 && IsBlank(t[end - 1])) --end;
                if (sides & kTrimLeading)
                    while (first < end && IsBlank(t[first])) ++first;
                const std::string expected = t.substr(first, end - first);
                RecordedTemp r = TrimText(arg, sides);
                if (r.start != position || expected != r.start || r.slot != SelectTempSlot(0)) Fail("TrimText");
                ExpectCurrent(position, static_cast<std::int32_t>(expected.size()), "TrimText slot");
                current = {position, static_cast<std::int32_t>(expected.size())};
                break;
            }
            case 4: {  // ChangeCase
                const bool upper = in.ConsumeBool();
                std::string t = text();
                const char* arg = t.c_str();
                switch (in.ConsumeIntegralInRange(0, 2)) {
                    case 1:
                        arg = LastTempArg();
                        t.assign(current.text, static_cast<std::size_t>(current.length));
                        break;
                    case 2:
                        arg = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(
                            in.ConsumeIntegralInRange<std::uint32_t>(0x80, kLowestAddress - 1)));
                        t.clear();
                        break;
                }
                std::string expected = t;
                for (char& c : expected) c = static_cast<char>(upper ? Upper(c) : Lower(c));
                RecordedTemp r = ChangeCase(arg, upper ? in.ConsumeIntegralInRange(1, 1000) : kToLower);
                if (expected != r.start) Fail("ChangeCase text");
                ExpectCurrent(r.start, static_cast<std::int32_t>(t.size()), "ChangeCase slot");
                blocks.push_back(r.start);
                current = {r.start, static_cast<std::int32_t>(t.size())};
                break;
            }
            case 7: {  // the oldest copy released early, its address free for a variable
                if (kept.empty()) break;
                ReleaseHeapString(kept.front().copy);
                kept.pop_front();
                const std::string& t = text();
                variables.push_back({Assign(nullptr, t.c_str()), t});
                break;
            }
            default: {  // KeepTemp of the current temporary
                const TempSlot* before = SelectTempSlot(0);
                const char* copy = KeepTemp();
                if (SelectTempSlot(0) != before) Fail("KeepTemp moved the current slot");
                kept.push_back({copy, std::string(current.text, static_cast<std::size_t>(current.length))});
                if (kept.size() > kKeptCopies) kept.pop_front();
                for (const Kept& k : kept)
                    if (std::memcmp(k.copy, k.text.c_str(), k.text.size() + 1) != 0) Fail("kept copy changed");
            }
        }
    }
    for (const Kept& variable : variables)
        if (variable.text != variable.copy) Fail("a variable changed under KeepTemp");
    for (const Kept& variable : variables) ReleaseHeapString(variable.copy);
    for (const char* block : blocks) ReleaseHeapString(block);
    return 0;
}
