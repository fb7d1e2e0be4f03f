#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Finds the readable strings of a binary file: runs of ASCII letters,
// digits and blanks of 6 to 101 characters, each ended by a byte that is
// none of these. A run that equals the line written just before it is not
// written again; longer runs and a run still open at the end are dropped.
// The input is one stream fed in pieces of any size, so a run that spans
// two pieces is found like any other.
class StringsScanner {
public:
    static constexpr size_t kMinRun = 6;
    static constexpr size_t kMaxRun = 101;

    // Scans the next piece; every string found is appended to out, each
    // followed by "\n".
    void feed(const uint8_t *data, size_t n, std::string &out);
    void feed(const std::string &piece, std::string &out)
    {
        feed(reinterpret_cast<const uint8_t *>(piece.data()), piece.size(), out);
    }

private:
    std::string run_;
    std::string last_;
    bool overlong_ = false;
};
