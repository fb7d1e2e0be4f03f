#include "inspect/StringsScanner.h"

#include <array>

namespace {
constexpr std::array<bool, 256> acceptedTable()
{
    std::array<bool, 256> t{};
    for (int c = 'A'; c <= 'Z'; ++c)
        t[size_t(c)] = true;
    for (int c = 'a'; c <= 'z'; ++c)
        t[size_t(c)] = true;
    for (int c = '0'; c <= '9'; ++c)
        t[size_t(c)] = true;
    t[' '] = true;
    return t;
}
constexpr std::array<bool, 256> kAccepted = acceptedTable();
}

void StringsScanner::feed(const uint8_t *data, size_t n, std::string &out)
{
    size_t i = 0;
    while (i < n) {
        // Extend the open run as far as this piece allows.
        const size_t start = i;
        while (i < n && kAccepted[data[i]])
            ++i;
        if (!overlong_) {
            if (run_.size() + (i - start) > kMaxRun) {
                overlong_ = true;
                run_.clear();
            } else {
                run_.append(reinterpret_cast<const char *>(data + start), i - start);
            }
        }
        if (i == n)
            return; // the run may go on in the next piece
        // data[i] ends the run.
        if (!overlong_ && run_.size() >= kMinRun && run_ != last_) {
            out += run_;
            out += '\n';
            last_ = run_;
        }
        run_.clear();
        overlong_ = false;
        ++i;
    }
}
