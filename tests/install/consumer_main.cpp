// A program outside the project that uses the installed runtime.
#include "tarnfold.h"
using namespace tarnfold;
int main() {
    char* name = nullptr;
    name = StringBuilder(ToVariable(2), "Hello, ", "world", name);
    StringBuilder(ToConsole(2), name, kTokenCrLf);
    ReleaseHeapString(kReleaseAll);
}
