// A program outside the project that uses the installed runtime. "expired": reads, in its
// own code, a temporary that 21 later ones have expired (the checked build reports it).
#include <cstring>

#include "tarnfold.hpp"
using namespace tarnfold;
int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "expired") == 0) {
        const char* old = TrimText("  expired  ", kTrimBoth).start;
        for (int i = 0; i < 21; ++i) TrimText(" later ", kTrimBoth);
        int sum = 0;
        for (const char* p = old; *p != '\0'; ++p) sum += *p;
        return sum == 0 ? 3 : 4;
    }
    char* name = nullptr;
    name = StringBuilder(ToVariable(2), "Hello, ", "world", name);
    StringBuilder(ToConsole(2), name, kTokenCrLf);
    ReleaseHeapString(kReleaseAll);
    // The C++ layer from the same install: an owned text with a number in it.
    tf::String line;
    line.Assign(tf::Parse<std::int32_t>("41").value + 1, " parts");
    tf::Print(line, tf::CrLf);
}
