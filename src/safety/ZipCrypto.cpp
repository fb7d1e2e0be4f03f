#include "safety/ZipCrypto.h"

#include <zlib.h>

namespace {
inline uint32_t crcByte(const z_crc_t *table, uint32_t crc, unsigned char b)
{
    return uint32_t(table[(crc ^ b) & 0xff]) ^ (crc >> 8);
}
}

ZipCrypto::ZipCrypto(const std::string &password)
{
    for (char c : password)
        update(static_cast<unsigned char>(c));
}

void ZipCrypto::update(unsigned char plain)
{
    static const z_crc_t *table = get_crc_table();
    k0_ = crcByte(table, k0_, plain);
    k1_ = (k1_ + (k0_ & 0xff)) * 134775813u + 1;
    k2_ = crcByte(table, k2_, static_cast<unsigned char>(k1_ >> 24));
}

void ZipCrypto::decrypt(unsigned char *data, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const uint32_t t = (k2_ | 2) & 0xffff;
        const unsigned char plain = static_cast<unsigned char>(data[i] ^ ((t * (t ^ 1)) >> 8));
        update(plain);
        data[i] = plain;
    }
}

unsigned char ZipCrypto::decryptHeader(const unsigned char header[12])
{
    unsigned char h[kHeaderSize];
    for (size_t i = 0; i < kHeaderSize; ++i)
        h[i] = header[i];
    decrypt(h, kHeaderSize);
    return h[kHeaderSize - 1];
}
