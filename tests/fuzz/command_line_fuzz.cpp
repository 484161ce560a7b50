// CommandLineTailOf arbitrary command lines, under both rules for the program name's end,
// against the rules written out here. The line ends 0 to 31 bytes before an unreadable page.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/guard_page.h"
#include "tarnfold.h"

namespace {

using namespace tarnfold;

// Where the tail starts, or npos when the name has no end.
std::size_t NameEnd(const std::string& line, ProgramNameRule rule) {
    if (rule == ProgramNameRule::FirstWord) {
        if (!line.empty() && line[0] == '"') {
            const std::size_t quote = line.find('"', 1);
            return quote == std::string::npos ? line.size() : quote;
        }
        const std::size_t blank = line.find_first_of(" \t");
        return blank == std::string::npos ? line.size() : blank;
    }
    for (std::size_t at = 1; at + 3 < line.size(); ++at)
        if (line[at] == '.' && (line[at + 1] | 0x20) == 'e' && (line[at + 2] | 0x20) == 'x' &&
            (line[at + 3] | 0x20) == 'e')
            return at + 4;
    return std::string::npos;
}

std::string Tail(const std::string& line, ProgramNameRule rule) {
    std::size_t at = NameEnd(line, rule);
    if (at == std::string::npos) return "";
    if (at < line.size()) ++at;  // the closing quote or the blank after the name
    while (at < line.size() && static_cast<unsigned char>(line[at]) < '/') ++at;
    const std::size_t quote = line.find('"', at);
    std::string tail = line.substr(at, quote == std::string::npos ? std::string::npos : quote - at);
    return tail.substr(0, kCommandLineTailSize - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testing_support::GuardedPage page;
    FuzzedDataProvider in(data, size);
    const std::size_t pad = in.ConsumeIntegralInRange<std::size_t>(0, 31);
    std::string line = in.ConsumeBytesAsString(1000);
    line.resize(std::strlen(line.c_str()));
    char* at = page.Tail(line.size() + 1 + pad);
    std::memcpy(at, line.c_str(), line.size() + 1);
    for (ProgramNameRule rule : {ProgramNameRule::ExeSuffix, ProgramNameRule::FirstWord}) {
        const std::string expected = Tail(line, rule);
        const char* tail = CommandLineTailOf(at, rule);
        if (expected != tail) {
            std::fprintf(stderr, "command_line: \"%s\", want \"%s\"\n", tail, expected.c_str());
            std::abort();
        }
    }
    return 0;
}
