#pragma once
#include <cstdint>
#include <ctime>
#include <string>

// A folder tree under the current test's HOME for tests to build files in.
class TempTree {
public:
    // A fresh folder named name under the test's HOME.
    explicit TempTree(const std::string &name = "tree");
    const std::string &root() const { return root_; }
    // root joined with a relative path.
    std::string path(const std::string &rel) const;
    // Creates folders (with parents).
    std::string dir(const std::string &rel) const;
    // Creates a file (and its folders) with the given content.
    std::string file(const std::string &rel, const std::string &content = {}) const;
    // Creates a file of the given size filled with one byte.
    std::string sized(const std::string &rel, int64_t size, char fill = 'x') const;
    // Sets a file's modification and access times.
    static void setTimes(const std::string &path, time_t modified, time_t accessed);
    static bool exists(const std::string &path);
    // Moves folder aside (to folder + ".moved") and puts a symbolic link to
    // target in its place: what a swap after a walk looks like.
    static void swapForLink(const std::string &folder, const std::string &target);
    static std::string read(const std::string &path);
    // A chain of levels folders below base, each named by nameLen bytes of
    // fill, made a step at a time (mkdirat, openat) so that it may be deeper
    // than one path can name; the path of its deepest folder.
    static std::string deepChain(const std::string &base, int levels, size_t nameLen, char fill = 'd');
    // Writes a file in a folder of any depth, reached a step at a time; its path.
    static std::string deepFile(const std::string &folder, const std::string &name, const std::string &content);
    // n bytes of a fixed pseudo-random sequence (the same for the same seed).
    static std::string randomBytes(size_t n, unsigned seed);

private:
    std::string root_;
};
