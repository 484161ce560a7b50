// Calls the C++ layer refuses at compile time; the build of each case must fail with the
// layer's message (tests/CMakeLists.txt).
#include <string_view>

#include "tarnfold.hpp"

int main() {
#if REFUSED_CASE == 1  // an integer where an address was taken before: no pointers of other kinds
    int* counter = nullptr;
    tf::Print("few: ", counter);
#elif REFUSED_CASE == 2  // a character is no text
    tf::Print('x');
#elif REFUSED_CASE == 3  // a string_view may not end at a zero byte
    std::string_view view = "abc";
    tf::Print(view);
#elif REFUSED_CASE == 4
    tf::Print("bytes", u"wide");
#elif REFUSED_CASE == 5
    tf::Print(tf::Last, 2.5);
#elif REFUSED_CASE == 6
    tf::Parse<short>("1");
#elif REFUSED_CASE == 7
    tf::Format("%f", 18446744073709551615ull);
#elif REFUSED_CASE == 9
    tf::Format("%f", 1.0, 2.0);
#elif REFUSED_CASE == 10  // the raw form takes tokens as Words: a count in an int is refused
    std::int32_t count = 96885;
    tarnfold::Print("few: [", count, "]");
#elif REFUSED_CASE == 8
    tf::Print(true);
#endif
}
