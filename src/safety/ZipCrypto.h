#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The traditional PKWARE stream cipher of zip archives: three 32-bit keys
// started from the password and updated with every plain byte. Each
// encrypted entry's data begins with a 12-byte header whose last plain byte
// checks the password (a wrong one passes this check 1 time in 256; the
// entry's CRC catches the rest).
class ZipCrypto {
public:
    explicit ZipCrypto(const std::string &password);
    // Decrypts n bytes in place.
    void decrypt(unsigned char *data, size_t n);
    // Decrypts the 12-byte header and returns its last plain byte.
    unsigned char decryptHeader(const unsigned char header[12]);

    static constexpr size_t kHeaderSize = 12;

private:
    void update(unsigned char plain);
    uint32_t k0_ = 0x12345678u, k1_ = 0x23456789u, k2_ = 0x34567890u;
};
