#include "message/message_version.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace msgver {

int Parse(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';

    auto isDigit = [&](size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
    // Saturate: a version is a small number, and a huge one only has to stay huge.
    constexpr int64_t kCap = INT_MAX / 100 - 1;
    int64_t whole = 0;
    while (isDigit(i)) {
        whole = std::min<int64_t>(whole * 10 + (text[i] - '0'), kCap);
        ++i;
    }
    int64_t hundredths = whole * 100;
    if (i < text.size() && text[i] == '.') {
        ++i;
        int weight = 10;
        int digits = 0;
        while (isDigit(i)) {
            int d = text[i] - '0';
            if (digits < 2)
                hundredths += d * weight;
            else if (digits == 2 && d >= 5)
                hundredths += 1;
            weight /= 10;
            ++digits;
            ++i;
        }
    }
    return static_cast<int>(negative ? -hundredths : hundredths);
}

} // namespace msgver
