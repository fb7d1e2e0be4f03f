#pragma once
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <csignal>
#include <random>
#include <sys/resource.h>
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

// A Python script that writes damaged and hostile archives: argv[1] is the
// kind, argv[2] the archive to write.
inline const char *kDamagedArchives = R"(
import sys, zipfile, struct, zlib, random
kind, out = sys.argv[1], sys.argv[2]

def five(path):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for i, n in enumerate('abcde'):
            z.writestr(zipfile.ZipInfo(n + '.txt', (2020, 1, 2, 3, 4, 6)), (n * 50 + str(i)) * 40,
                       zipfile.ZIP_DEFLATED)

def no_directory(path):
    d = open(path, 'rb').read()
    open(path, 'wb').write(d[:d.find(b'PK\x01\x02')])

def raw(path, items, extra_records=()):
    # items: (name, data, declared size); stored, made by Unix, mode 0644.
    d = b''; cd = b''; count = 0
    for name, data, usize in items:
        n = name.encode(); off = len(d)
        crc = zlib.crc32(data)
        big = usize >= 0xFFFFFFFF
        extra = struct.pack('<HHQQ', 1, 16, usize, len(data)) if big else b''
        u32 = 0xFFFFFFFF if big else usize
        c32 = 0xFFFFFFFF if big else len(data)
        d += struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, 0, 0, 0, 0x21, crc, c32, u32, len(n), len(extra)) + n + extra + data
        rec = lambda nm: struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 45, 0, 0, 0, 0x21, crc, c32, u32,
                                     len(nm), len(extra), 0, 0, 0, 0o100644 << 16, off) + nm + extra
        cd += rec(n); count += 1
        for other in extra_records:
            cd += rec(other.encode()); count += 1
    end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count, count, len(cd), len(d), 0)
    open(path, 'wb').write(d + cd + end)

class Unseekable:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()

if kind == 'flip':          # a bit flipped in the data of the second item, a byte appended
    five(out)
    info = zipfile.ZipFile(out).getinfo('b.txt')
    d = bytearray(open(out, 'rb').read())
    d[info.header_offset + 30 + 5 + 3] ^= 4
    open(out, 'wb').write(bytes(d) + b'\n')
elif kind == 'flip-nodir':  # the same without its directory
    five(out)
    info = zipfile.ZipFile(out).getinfo('b.txt')
    d = bytearray(open(out, 'rb').read())
    d[info.header_offset + 30 + 5 + 3] ^= 4
    open(out, 'wb').write(bytes(d))
    no_directory(out)
elif kind == 'bzip2':       # a readable archive with a bzip2 item and a newline after it
    with zipfile.ZipFile(out, 'w') as z:
        z.writestr('a.txt', 'bzip2 ' * 100, zipfile.ZIP_BZIP2)
        z.writestr('b.txt', 'deflate ' * 100, zipfile.ZIP_DEFLATED)
    open(out, 'ab').write(b'\n')
elif kind == 'cut4':        # cut inside the fourth of five items
    five(out)
    info = zipfile.ZipFile(out).getinfo('d.txt')
    d = open(out, 'rb').read()
    open(out, 'wb').write(d[:info.header_offset + 40])
elif kind == 'streamed':    # written to a pipe: sizes after the data, one item stored; no directory
    with open(out, 'wb') as f:
        with zipfile.ZipFile(Unseekable(f), 'w') as z:
            z.writestr('s.txt', 'stored ' * 300, zipfile.ZIP_STORED)
            z.writestr('d.txt', 'deflated ' * 300, zipfile.ZIP_DEFLATED)
    no_directory(out)
elif kind == 'descriptor-bomb':  # sizes after data that is no deflate stream; 3.75 GiB declared
    random.seed(5)
    data = bytes(random.getrandbits(8) for _ in range(200000))
    n = b'bomb'
    h = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 8, 8, 0, 0x21, 0, 0, 0, len(n), 0) + n
    desc = struct.pack('<IIII', 0x08074b50, 0x12345678, len(data), 0xF0000000)
    open(out, 'wb').write(h + data + desc)
elif kind == 'overlap':     # 200 more directory records for one item's data
    raw(out, [('big', b'\0' * 100000, 100000)], ['%s%02d' % (c, i) for c in 'nm' for i in range(100)])
elif kind == 'huge':        # a small item, then one that declares 2^60 bytes
    raw(out, [('small.txt', b'small', 5), ('huge', b'x', 1 << 60)])
elif kind == 'deep':        # one file 29,999 folders deep
    with zipfile.ZipFile(out, 'w') as z:
        z.writestr('a/' * 29999 + 'f.txt', 'deep')
elif kind == 'deep-big':    # the same depth, a file too large to be written
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('a/' * 2000 + 'g.bin', b'\0' * 300000)
elif kind == 'modes':       # world-writable modes, as some archives record them
    with zipfile.ZipFile(out, 'w') as z:
        for name, mode in (('rw.txt', 0o666), ('rwx.sh', 0o777)):
            zi = zipfile.ZipInfo(name, (2020, 1, 2, 3, 4, 6))
            zi.create_system = 3
            zi.external_attr = (0o100000 | mode) << 16
            z.writestr(zi, name)
elif kind == 'folders':     # two folder items and three files
    with zipfile.ZipFile(out, 'w') as z:
        for name in ('top2/', 'top2/sub/'):
            z.writestr(name, '')
        for name in ('top2/a.txt', 'top2/sub/b.txt', 'c.txt'):
            z.writestr(name, name)
)";

// An archive of the given kind from kDamagedArchives, written in t.
inline std::string damagedArchive(const TempTree &t, const std::string &kind)
{
    const std::string script = t.file("damage.py", kDamagedArchives);
    const std::string path = t.path(kind + ".zip");
    const std::string out = TestEnv::commandOutput("python3 '" + script + "' " + kind + " '" + path + "' 2>&1");
    if (!out.empty())
        ADD_FAILURE() << out;
    return path;
}

// Runs f with writes failing past limit bytes of a file, as on a full disk.
template <typename F> void withSmallFileLimit(F f, rlim_t limit = 65536)
{
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    f();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
}
