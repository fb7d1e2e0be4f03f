#pragma once
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// A read-only view of installed software in the shape of a registry.
// HKEY_LOCAL_MACHINE\SOFTWARE has one key per installed package (named after
// dpkg's <package>.list file, its values the paths listed there) and one per
// system desktop entry (named after the entry's file, its values "Exec",
// "TryExec" and "Path": the absolute program paths and working folder the
// entry names). HKEY_CURRENT_USER\SOFTWARE has the user's desktop entries.
// The keys below SOFTWARE have no sub-keys. Every value is text.
enum class RegistryRoot { LocalMachine, CurrentUser };

class RegistryView {
public:
    struct Sources {
        std::string packageInfo;                // dpkg's info folder
        std::vector<std::string> systemEntries; // folders of system desktop entries
        std::vector<std::string> userEntries;   // folders of the user's desktop entries
    };
    // /var/lib/dpkg/info; /usr/share/applications and /usr/local/share/applications;
    // $XDG_DATA_HOME/applications.
    static Sources systemSources();

    class Key {
    public:
        const std::string &path() const { return path_; }
        std::vector<std::string> subKeyNames() const { return subKeys_; }
        bool hasSubKeys() const { return !subKeys_.empty(); }
        std::vector<std::string> valueNames() const;
        // The value's text; nothing when the key has no such text value.
        std::optional<std::string> readText(const std::string &name) const;

    private:
        friend class RegistryView;
        std::string path_;
        std::vector<std::string> subKeys_;
        std::vector<std::pair<std::string, std::string>> values_;
        std::unordered_map<std::string, size_t> byName_;
    };

    RegistryView();
    explicit RegistryView(Sources sources);

    // Opens a key by its full path below the root ("\SOFTWARE" or
    // "\SOFTWARE\<name>"; names match without regard to case); nothing when
    // there is no such key or its source cannot be read.
    std::optional<Key> open(RegistryRoot root, const std::string &path) const;

private:
    struct Entry {
        std::string name;
        std::string file;
        bool package;
    };
    // The keys below SOFTWARE of a root, listed once per view.
    const std::vector<Entry> &entries(RegistryRoot root) const;
    Sources sources_;
    mutable std::optional<std::vector<Entry>> listed_[2];
};
