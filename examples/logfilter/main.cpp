// logfilter LOG WORD FROM TO KEPT: the lines of LOG that mention WORD in any case, with FROM
// replaced by TO, into KEPT; a coloured summary on the console.
#include "log_filter.h"
#include "tarnfold.hpp"

int main(int argc, char** argv) {
    if (argc != 6) {
        tf::Print("usage: logfilter LOG WORD FROM TO KEPT", tf::CrLf);
        return 2;
    }
    LogSummary summary{};
    if (!FilterLog(argv[1], argv[2], argv[3], argv[4], argv[5], summary)) {
        tf::Print(tf::Colour::Red, "cannot write ", argv[5], tf::CrLf);
        return 1;
    }
    const double share = summary.lines > 0 ? 100.0 * summary.kept / summary.lines : 0.0;
    tf::Print(tf::Colour::Green, "kept ", summary.kept, " of ", summary.lines, " lines (",
              tf::Digits(share, 4), "%)", tf::CrLf);
    tf::Print(summary.errors > 0 ? tf::Colour::Yellow : tf::Colour::Green, summary.errors, " errors, ",
              summary.bytes, " bytes", tf::CrLf);
    return 0;
}
