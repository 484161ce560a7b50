// The value stack: the runtime's model of the x87 register stack between number operations.
//
// ParseNumber without a destination leaves its value here, and FormatNumber's first group
// combines it as the left operand, as the register stack carries a value from one call to
// the next in the machine-level runtime. Eight entries, like the registers.
#pragma once

namespace tarnfold {

inline constexpr int kValueStackDepth = 8;

struct ValueStackState {
    long double value[kValueStackDepth];  // value[0] is the bottom
    int depth;
};

extern ValueStackState ValueStack;

// Pushes a value; on a full stack the bottom entry is lost.
void PushValue(long double value);
// Takes the top value; an empty stack gives the not-a-number value, as an x87 stack
// underflow does.
long double PopValue();
// Empties the stack.
inline void ClearValueStack() { ValueStack.depth = 0; }

}  // namespace tarnfold
