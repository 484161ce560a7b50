// The C++ layer beside the raw calls it makes: each row pair does the same job, once through
// tarnfold.hpp and once as a program that speaks the runtime's words writes it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "instruction_marks.h"
#include "same_result.h"
#include "tarnfold.hpp"

namespace {

using namespace tarnfold;
using tarnfold_bench::ExpectSame;

template <class T>
T Hidden(T value) {
    asm volatile("" : "+m"(value));
    return value;
}

constexpr const char* kLine =
    R"(10.0.0.7 - - [01/Jan/2024:00:00:07 +0000] "GET /api/v1/users/7 HTTP/2" 200 5123 "https://example.com/?q=Api" "curl/8.5.0")";

// What a first number operation does once (the power table) is done before any row, so that
// it counts against neither of a pair.
void WarmUp() {
    static const bool done = [] {
        tf::Parse<double>("1.5");
        tf::Format(nullptr, 1.5);
        return true;
    }();
    (void)done;
}

#define FACE_PAIR(name, face_body, raw_body)                                                                 \
    void name##_face(benchmark::State& state) { WarmUp(); face_body }                                       \
    void name##_raw(benchmark::State& state) { WarmUp(); raw_body }                                         \
    BENCHMARK(name##_face)->Name("Face" #name "/tarnfold")->Apply(tarnfold_bench::Fixed);                   \
    BENCHMARK(name##_raw)->Name("Face" #name "/raw_calls")->Apply(tarnfold_bench::Fixed);

// A variable built from a text and an int32: the layer writes the digits itself; the raw
// form formats them as a temporary (integer mode) first.
FACE_PAIR(AssignInt32, {
    tf::String s;
    for (auto _ : tarnfold_bench::Counted(state)) s.Assign("count=", Hidden(96885));
    ExpectSame(state, std::string(s.c_str()), std::string("count=96885"));
}, {
    char* s = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        OperandList[0] = static_cast<Word>(Hidden(96885));
        FormatNumber(kFormatInteger, NumberGroup(0, kOperandInt32));
        s = Assign(s, "count=", kLastTemp);
    }
    ExpectSame(state, std::string(s), std::string("count=96885"));
    ReleaseHeapString(s);
})

FACE_PAIR(ParseInt32, {
    std::int32_t sum = 0;
    for (auto _ : tarnfold_bench::Counted(state)) sum += tf::Parse<std::int32_t>(Hidden("5123 ")).value;
    ExpectSame(state, sum, static_cast<std::int32_t>(5123 * state.iterations()));
}, {
    std::int32_t sum = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::int32_t value = kSizeInt32;
        ParseNumber(Hidden("5123 "), &value);
        sum += value;
    }
    ExpectSame(state, sum, static_cast<std::int32_t>(5123 * state.iterations()));
})

FACE_PAIR(ParseDouble, {
    double sum = 0;
    for (auto _ : tarnfold_bench::Counted(state)) sum += tf::Parse<double>(Hidden("0.25")).value;
    ExpectSame(state, sum, 0.25 * static_cast<double>(state.iterations()));
}, {
    double sum = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        double value;
        const std::int32_t code = kSizeFloat64;
        std::memcpy(&value, &code, sizeof code);
        ParseNumber(Hidden("0.25"), &value);
        sum += value;
    }
    ExpectSame(state, sum, 0.25 * static_cast<double>(state.iterations()));
})

FACE_PAIR(Format, {
    const char* text = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) text = tf::Format("%5f", Hidden(1234.5678)).c_str();
    ExpectSame(state, std::string(text), std::string("1234.6"));
}, {
    const char* text = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        double value = Hidden(1234.5678);
        OperandList[0] = OperandAddress(&value);
        text = FormatNumber("%5f", NumberGroup(0, kOperandFloat64));
    }
    ExpectSame(state, std::string(text), std::string("1234.6"));
})

FACE_PAIR(Contains, {
    int found = 0;
    for (auto _ : tarnfold_bench::Counted(state)) found += tf::Contains(Hidden(kLine), "CURL", tf::Fold);
    ExpectSame(state, found, static_cast<int>(state.iterations()));
}, {
    int found = 0;
    for (auto _ : tarnfold_bench::Counted(state))
        found += FindText(kFindWholeText, Hidden(kLine), "CURL", FindFold).match != nullptr;
    ExpectSame(state, found, static_cast<int>(state.iterations()));
})

FACE_PAIR(ReplaceKeep, {
    std::size_t length = 0;
    for (auto _ : tarnfold_bench::Counted(state)) length += tf::Keep(tf::Replaced(Hidden(kLine), "api", "API")).view().size();
    ExpectSame(state, length, std::strlen(kLine) * state.iterations());
}, {
    std::size_t length = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        Replace(Hidden(kLine), "api", "API", 0);
        char* kept = Assign(nullptr, kLastTemp);
        length += std::strlen(kept);
        ReleaseHeapString(kept);
    }
    ExpectSame(state, length, std::strlen(kLine) * state.iterations());
})

FACE_PAIR(ChangeCaseOwned, {
    std::size_t length = 0;
    for (auto _ : tarnfold_bench::Counted(state)) length += tf::ChangeCase(Hidden(kLine), tf::Upper).view().size();
    ExpectSame(state, length, std::strlen(kLine) * state.iterations());
}, {
    std::size_t length = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        RecordedTemp upper = ChangeCase(Hidden(kLine), kToUpper);
        length += std::strlen(upper.slot->text);
        ReleaseHeapString(upper.slot->text);
    }
    ExpectSame(state, length, std::strlen(kLine) * state.iterations());
})

// The elements of a 1,000-line array, summed as lengths: a range of views beside the raw
// walk of the array block's records and their length signs.
void MakeLines() {
    static bool made = false;
    if (made) return;
    made = true;
    CreateArray(13, 999);
    for (std::int32_t i = 0; i < 1000; ++i) {
        AccessElement(13, i, __LINE__);
        AssignElement("line ", kTokenX);
    }
}
FACE_PAIR(ArrayWalk1000, {
    MakeLines();
    std::size_t length = 0;
    for (auto _ : tarnfold_bench::Counted(state))
        for (tf::ZView element : tf::Array(Hidden(13))) length += element.size();
    ExpectSame(state, length, 6000 * state.iterations());
}, {
    MakeLines();
    std::size_t length = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        StringArray* array = ArrayTable[Hidden(13)];
        for (std::int32_t i = 0; i < array->count; ++i) {
            const std::int32_t l = array->Element(i)->length;
            length += static_cast<std::size_t>(l < 0 ? -l : l);
        }
    }
    ExpectSame(state, length, 6000 * state.iterations());
})

FACE_PAIR(SetElement, {
    MakeLines();
    tf::Array lines(13);
    for (auto _ : tarnfold_bench::Counted(state)) lines.Set(Hidden(7), "line ", tf::X);
    ExpectSame(state, std::string(lines[7]), std::string("line X"));
}, {
    MakeLines();
    for (auto _ : tarnfold_bench::Counted(state)) {
        AccessElement(13, Hidden(7), 0);
        AssignElement("line ", kTokenX);
    }
    ExpectSame(state, std::string(ArrayTable[13]->Element(7)->text), std::string("line X"));
})

}  // namespace
