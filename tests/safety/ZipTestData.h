#pragma once
#include <random>
#include <string>

// n bytes that deflate cannot shrink, the same for the same seed.
inline std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto &c : s)
        c = char(gen());
    return s;
}
