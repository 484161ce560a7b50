// The log filter written with the standard library alone, as a C++ programmer writes it:
// getline, a lower-case copy and string::find, from_chars, string::replace, ofstream. The
// lower-case copy takes std::tolower, or (the tuned twin) a 256-byte table.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "log_filter.h"

struct StdLower {
    char operator()(unsigned char c) const { return static_cast<char>(std::tolower(c)); }
};
struct TableLower {
    char operator()(unsigned char c) const {
        static const auto table = [] {
            std::array<char, 256> made{};
            for (int i = 0; i < 256; ++i) made[i] = static_cast<char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
            return made;
        }();
        return table[c];
    }
};

template <typename Lower>
bool FilterLogWithStd(const char* log, const char* word, const char* from, const char* to, const char* keptPath,
                      LogSummary& summary) {
    std::ifstream in(log, std::ios::binary);
    std::ofstream kept(keptPath, std::ios::binary);
    if (!in || !kept) return false;
    std::string lowerWord = word;
    std::transform(lowerWord.begin(), lowerWord.end(), lowerWord.begin(), Lower());
    const std::string_view fromText = from, toText = to;
    summary = {};
    std::string line, lower;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++summary.lines;
        lower.resize(line.size());
        std::transform(line.begin(), line.end(), lower.begin(), Lower());
        if (lower.find(lowerWord) == std::string::npos) continue;
        ++summary.kept;
        // The status and the size follow the request's closing quote: "GET / HTTP/2" 200 5123
        const std::size_t quote = line.find("\" ");
        if (quote != std::string::npos) {
            const char* end = line.data() + line.size();
            int status = 0;
            auto [afterStatus, statusError] = std::from_chars(line.data() + quote + 2, end, status);
            if (statusError == std::errc()) {
                if (status >= 400) ++summary.errors;
                while (afterStatus < end && *afterStatus == ' ') ++afterStatus;
                long long bytes = 0;
                std::from_chars(afterStatus, end, bytes);
                summary.bytes += bytes;
            }
        }
        if (!fromText.empty())
            for (std::size_t at = line.find(fromText); at != std::string::npos; at = line.find(fromText, at + toText.size()))
                line.replace(at, fromText.size(), to);
        kept << line << '\n';
    }
    return true;
}
