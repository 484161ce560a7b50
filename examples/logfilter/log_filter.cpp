#include "log_filter.h"

#include "tarnfold.hpp"

bool FilterLog(const char* log, const char* word, const char* from, const char* to, const char* keptPath,
               LogSummary& summary) {
    tf::Array lines = tf::Recall(log, 1, tf::LineEnds::CrLfOrLf);
    tf::OutputFile kept(keptPath);
    if (!kept.is_open()) return false;
    summary = {static_cast<std::int32_t>(lines.size()), 0, 0, 0};
    for (tf::ZView line : lines) {
        if (!tf::Contains(line, word, tf::Fold)) continue;
        ++summary.kept;
        kept.Write(tf::Replaced(line, from, to), "\n");
        // The status and the size follow the request's closing quote: "GET / HTTP/2" 200 5123
        tf::Found quote = tf::Find(line, "\" ");
        if (!quote) continue;
        tf::ZView fields = line.From(quote.offset() + 2);
        auto status = tf::Parse<std::int32_t>(fields);
        if (status.count <= 0) continue;
        if (status.value >= 400) ++summary.errors;
        summary.bytes += tf::Parse<std::int64_t>(fields.From(static_cast<std::size_t>(status.count))).value;
    }
    lines.Erase();
    return true;
}
