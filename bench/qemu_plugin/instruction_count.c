// A qemu TCG plugin that counts guest instructions between marks the benchmark program makes.
//
// The benchmark program announces the start and the end of each measured loop with an
// unused system call (kMarkSyscall: qemu answers it with ENOSYS, and so does a real kernel).
// Every translated block adds its instruction count to one counter when it runs; at an end
// mark the plugin writes "<mark serial> <instructions since the start mark>" to its output
// file, one line per measured loop. Counts depend only on the guest code and its data, so
// they repeat exactly from run to run on any host.
//
// Every instruction is counted once per run. qemu 7.2 ends a block before an instruction
// that would cross into the next page, yet still lists that instruction (with the bytes it
// had read) in the block; it then runs it as the first of a block of its own. A block's
// count therefore leaves out its last instruction when that one may cross (it starts in the
// page's last 14 bytes): that instruction gets an add of its own, which qemu drops together
// with the instruction's code when it ends the block before it. bench/qemu_plugin/
// page_crossing.c checks that a loop across a page boundary counts as one that is not.
#include <inttypes.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef uint64_t qemu_plugin_id_t;
typedef struct qemu_info_t qemu_info_t;
struct qemu_plugin_tb;

enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_vcpu_syscall_cb_t)(qemu_plugin_id_t id, unsigned int vcpu_index,
                                              int64_t num, uint64_t a1, uint64_t a2, uint64_t a3,
                                              uint64_t a4, uint64_t a5, uint64_t a6, uint64_t a7,
                                              uint64_t a8);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
struct qemu_plugin_insn;
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
struct qemu_plugin_insn* qemu_plugin_tb_get_insn(const struct qemu_plugin_tb* tb, size_t idx);
uint64_t qemu_plugin_insn_vaddr(const struct qemu_plugin_insn* insn);
void qemu_plugin_register_vcpu_insn_exec_inline(struct qemu_plugin_insn* insn,
                                                enum qemu_plugin_op op, void* ptr, uint64_t imm);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op,
                                              void* ptr, uint64_t imm);
void qemu_plugin_register_vcpu_syscall_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_syscall_cb_t cb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

// Must match bench/instruction_marks.h.
enum { kMarkSyscall = 0x7A7A, kMarkStart = 1, kMarkEnd = 2 };

static uint64_t executed;  // guest instructions run so far (one vCPU: user mode, one thread)
static uint64_t startedAt;
static FILE* output;

// Guest pages are 4 KiB on i386; an instruction is at most 15 bytes long.
enum { kPageSize = 4096, kLongestInstruction = 15 };

static void OnTranslate(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    size_t listed = qemu_plugin_tb_n_insns(tb);
    if (listed == 0) return;
    struct qemu_plugin_insn* last = qemu_plugin_tb_get_insn(tb, listed - 1);
    uint64_t offset = qemu_plugin_insn_vaddr(last) % kPageSize;
    if (listed > 1 && offset > kPageSize - kLongestInstruction) {
        qemu_plugin_register_vcpu_insn_exec_inline(last, QEMU_PLUGIN_INLINE_ADD_U64, &executed, 1);
        --listed;
    }
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed, listed);
}

static void OnSyscall(qemu_plugin_id_t id, unsigned int vcpu, int64_t num, uint64_t a1,
                      uint64_t a2, uint64_t a3, uint64_t a4, uint64_t a5, uint64_t a6,
                      uint64_t a7, uint64_t a8) {
    (void)id, (void)vcpu, (void)a3, (void)a4, (void)a5, (void)a6, (void)a7, (void)a8;
    if (num != kMarkSyscall) return;
    if (a1 == kMarkStart) {
        startedAt = executed;
    } else if (a1 == kMarkEnd) {
        fprintf(output, "%" PRIu64 " %" PRIu64 "\n", a2, executed - startedAt);
        fflush(output);
    }
}

static void OnExit(qemu_plugin_id_t id, void* userdata) {
    (void)id, (void)userdata;
    if (output != stderr) fclose(output);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id,
                                                               const qemu_info_t* info,
                                                               int argc, char** argv) {
    (void)info;
    output = stderr;
    for (int i = 0; i < argc; ++i)
        if (strncmp(argv[i], "outfile=", 8) == 0) {
            output = fopen(argv[i] + 8, "w");
            if (output == NULL) return -1;
        }
    qemu_plugin_register_vcpu_tb_trans_cb(id, OnTranslate);
    qemu_plugin_register_vcpu_syscall_cb(id, OnSyscall);
    qemu_plugin_register_atexit_cb(id, OnExit, NULL);
    return 0;
}
