// The same loop twice under the counting plugin: once inside a page, once with an
// instruction that crosses a page boundary. Both must count the same instructions.
// The plugin reports each loop's count under its serial number: 1, 2 and 3.
#include <stdio.h>
#include <unistd.h>

// Must match bench/qemu_plugin/instruction_count.c.
enum { kMarkSyscall = 0x7A7A, kMarkStart = 1, kMarkEnd = 2 };

// Each loop runs `count` passes of the same four instructions (add, add, dec, jnz) from
// different places: inside a page; with its second add across a page boundary (qemu
// translates the pass from the loop's start up to that add as one block, the add alone as
// another, and the rest as a third); and with its second add ending at a page's last byte.
void InsideLoop(unsigned count);
void CrossingLoop(unsigned count);
void PageEndLoop(unsigned count);
#define TARNFOLD_LOOP(name, skip)                                                              \
    "    .balign 4096\n"                                                                       \
    "    .skip " #skip ", 0xcc\n"                                                              \
    "    .globl " #name "\n"                                                                   \
    #name ":\n"                                                                                \
    "    movl 4(%esp), %ecx\n"     /* 4 bytes */                                               \
    "    xorl %eax, %eax\n"        /* 2 bytes */                                               \
    "1:  addl $0x12345678, %eax\n" /* 5 bytes */                                               \
    "    addl $0x9abcdef0, %eax\n"                                                             \
    "    decl %ecx\n"                                                                          \
    "    jnz 1b\n"                                                                             \
    "    ret\n"
__asm__(
    "    .section .text.page_crossing,\"ax\",@progbits\n"
    TARNFOLD_LOOP(InsideLoop, 64)
    TARNFOLD_LOOP(CrossingLoop, 4096 - 13)   // second add: two bytes before the page end on
    TARNFOLD_LOOP(PageEndLoop, 4096 - 16)    // second add: the page's last five bytes
    "    .text\n");

static void Measure(long serial, void (*loop)(unsigned)) {
    syscall(kMarkSyscall, kMarkStart, serial);
    loop(100000);
    syscall(kMarkSyscall, kMarkEnd, serial);
}

int main(void) {
    Measure(1, InsideLoop);
    Measure(2, CrossingLoop);
    Measure(3, PageEndLoop);
    return 0;
}
