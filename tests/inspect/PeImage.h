#pragma once
// Builds small Windows PE images with a version resource for the tests.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace PeImage {
inline void put16(std::string &s, uint16_t v) { s += char(v & 0xFF); s += char(v >> 8); }
inline void put32(std::string &s, uint32_t v) { put16(s, uint16_t(v & 0xFFFF)); put16(s, uint16_t(v >> 16)); }
inline void set32(std::string &s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}
inline void pad4(std::string &s) { while (s.size() % 4) s += '\0'; }
inline void utf16z(std::string &s, const std::u16string &t)
{
    for (char16_t c : t)
        put16(s, uint16_t(c));
    put16(s, 0);
}

// One version block node: length, value length, type, key, value, children.
inline std::string node(const std::u16string &key, const std::string &value, bool text, uint16_t valueLength,
                        const std::vector<std::string> &children = {})
{
    std::string s(6, '\0');
    utf16z(s, key);
    pad4(s);
    s += value;
    for (const std::string &c : children) {
        pad4(s);
        s += c;
    }
    s[0] = char(s.size() & 0xFF);
    s[1] = char(s.size() >> 8);
    s[2] = char(valueLength & 0xFF);
    s[3] = char(valueLength >> 8);
    s[4] = char(text ? 1 : 0);
    return s;
}

inline std::string stringNode(const std::u16string &key, const std::u16string &value)
{
    std::string v;
    utf16z(v, value);
    return node(key, v, true, uint16_t(value.size() + 1));
}

// A version block with the given strings under table (e.g. u"040904b0") and
// the translation (language, code page); no translation when lang < 0.
inline std::string versionBlock(const std::vector<std::pair<std::u16string, std::u16string>> &strings,
                                const std::u16string &table = u"040904b0", int lang = 0x0409, int cp = 0x04B0)
{
    std::string fixed;
    put32(fixed, 0xFEEF04BD);
    put32(fixed, 0x00010000);
    for (int i = 0; i < 11; ++i)
        put32(fixed, 0);
    std::vector<std::string> entries;
    for (const auto &[k, v] : strings)
        entries.push_back(stringNode(k, v));
    std::vector<std::string> top = {node(u"StringFileInfo", {}, true, 0, {node(table, {}, true, 0, entries)})};
    if (lang >= 0) {
        std::string tr;
        put16(tr, uint16_t(lang));
        put16(tr, uint16_t(cp));
        top.push_back(node(u"VarFileInfo", {}, true, 0, {node(u"Translation", tr, false, 4)}));
    }
    return node(u"VS_VERSION_INFO", fixed, false, uint16_t(fixed.size()), top);
}

// A PE32 (or PE32+) image whose one section ".rsrc" holds a resource
// directory leading to block as the version resource.
inline std::string image(const std::string &block, bool pe32plus = false)
{
    const uint32_t rva = 0x1000, raw = 0x200;
    std::string rs;
    const auto dir = [&](uint32_t id, uint32_t target) {
        put32(rs, 0); put32(rs, 0); put16(rs, 0); put16(rs, 0);
        put16(rs, 0); put16(rs, 1);
        put32(rs, id); put32(rs, target);
    };
    dir(16, 0x80000000u | 0x18);
    dir(1, 0x80000000u | 0x30);
    dir(0x409, 0x48);
    put32(rs, rva + 0x58); put32(rs, uint32_t(block.size())); put32(rs, 0); put32(rs, 0);
    rs += block;
    while (rs.size() % 0x200)
        rs += '\0';

    std::string s(64, '\0');
    s[0] = 'M';
    s[1] = 'Z';
    set32(s, 0x3C, 0x40);
    s += std::string("PE\0\0", 4);
    const uint16_t optSize = pe32plus ? 240 : 224;
    put16(s, pe32plus ? 0x8664 : 0x14C); put16(s, 1); put32(s, 0); put32(s, 0); put32(s, 0);
    put16(s, optSize); put16(s, 0x0102);
    std::string opt(optSize, '\0');
    opt[0] = char(0x0B);
    opt[1] = char(pe32plus ? 0x02 : 0x01);
    const size_t countAt = pe32plus ? 108 : 92, dirsAt = pe32plus ? 112 : 96;
    set32(opt, countAt, 16);
    set32(opt, dirsAt + 16, rva);
    set32(opt, dirsAt + 20, uint32_t(rs.size()));
    s += opt;
    std::string sec(".rsrc\0\0\0", 8);
    put32(sec, uint32_t(rs.size())); put32(sec, rva); put32(sec, uint32_t(rs.size())); put32(sec, raw);
    sec += std::string(16, '\0');
    s += sec;
    s.resize(raw, '\0');
    s += rs;
    return s;
}

inline std::vector<std::pair<std::u16string, std::u16string>> fullStrings()
{
    return {{u"CompanyName", u"Fennwick Tools"},     {u"FileDescription", u"Sample tool"},
            {u"FileVersion", u"  1.2.3.4"},          {u"InternalName", u"sample"},
            {u"LegalCopyright", u"(c) 2026 Fennwick"}, {u"LegalTrademarks", u"none"},
            {u"OriginalFilename", u"sample.exe"},    {u"PrivateBuild", u"pb"},
            {u"ProductName", u"Sample"},             {u"ProductVersion", u"1.2"},
            {u"SpecialBuild", u"sb \u00e9"}};
}
}
