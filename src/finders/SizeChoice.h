#pragma once
#include <QString>
#include <cstdint>

// The size choice of the duplicate and file-hog finder: which file sizes a
// scan keeps, from the radio buttons, the two number fields and the unit.
struct SizeChoice {
    enum Kind { Larger = 0, Smaller = 1, Between = 2 };

    Kind kind = Larger;
    int64_t num1 = 250;
    int64_t num2 = 250;
    bool kilobytes = true;

    // The thresholds in bytes (the numbers times 1024 for "KB").
    int64_t low() const { return kilobytes ? num1 * 1024 : num1; }
    int64_t high() const { return kilobytes ? num2 * 1024 : num2; }
    // Larger: at least low; Smaller: at most low; Between: low to high, both included.
    bool keeps(int64_t size) const;
    // "In between" needs the second number at least the first.
    bool valid() const { return kind != Between || num2 >= num1; }
    // "larger or equal to 250 KB", "in between 10 bytes and 20 bytes".
    QString phrase() const;
    QString unitText() const;
};
