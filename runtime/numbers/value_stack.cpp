// The value stack shared by ParseNumber and FormatNumber.
#include "value_stack.h"

#include "x87.h"

namespace tarnfold {

ValueStackState ValueStack;

void PushValue(long double value) {
    if (ValueStack.depth == kValueStackDepth) {
        for (int i = 1; i < kValueStackDepth; ++i) ValueStack.value[i - 1] = ValueStack.value[i];
        --ValueStack.depth;
    }
    ValueStack.value[ValueStack.depth++] = value;
}

long double PopValue() {
    if (ValueStack.depth == 0) return x87::Indefinite();
    return ValueStack.value[--ValueStack.depth];
}

}  // namespace tarnfold
