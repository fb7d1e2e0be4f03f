#pragma once
#include <QRectF>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The folder map's logic: the tree of folders an all-folders walk totalled,
// and a squarified treemap of any folder of it. No widgets: the window paints
// the tiles this lays out.
//
// Each folder's tile holds one tile per sub-folder and one for the files lying
// in the folder itself; areas are proportional to bytes within the content
// rectangle of the parent tile (the parent keeps a frame and a label strip
// when it has room for them). Tiles too small to see are merged into one
// "other" tile of their parent.
//
// Layout work is bounded by the tiles laid out, not by the folders: children
// are kept largest first, so a folder's list is read only down to the first
// item too small to show, and a tile too small to hold a visible tile is not
// entered.
class FolderMap {
public:
    // One folder as the all-folders walk totalled it: its own files only.
    struct Folder {
        std::string path; // as found (bytes)
        int64_t ownBytes = 0;
        int64_t ownFiles = 0;
    };

    // A folder found below another, by its parent's number in the list (a
    // parent comes before its folders) and its own name (bytes); a folder of
    // no parent (kNoParent) is a root, named by its whole path.
    struct TreeFolder {
        uint32_t parent = kNoParent;
        std::string_view name;
        int64_t ownBytes = 0;
        int64_t ownFiles = 0;
    };
    static constexpr uint32_t kNoParent = ~0u;

    // A folder keeps its own name only: its path is made when asked for
    // (path()), so the map's memory follows the folders and the bytes of
    // their names, however deep they lie.
    struct Node {
        std::string nameBytes; // the last component as found (a root: its whole path; the top: empty)
        QString name;      // display name of the last component (the root: the path)
        int parent = -1;   // -1 for the top (and for a folder that left the map)
        std::vector<int> children; // sub-folders, largest first
        int64_t ownBytes = 0, ownFiles = 0;
        int64_t bytes = 0, files = 0; // the whole tree below, own files included
        int depth = 0;                // 0 for the top
    };

    enum class Kind { Folder, OwnFiles, Other };

    struct Tile {
        QRectF rect;        // the whole tile (frame and label strip included)
        QRectF content;     // where its children lie (Folder tiles), else rect
        int node = -1;      // the folder (OwnFiles, Other: the parent folder)
        Kind kind = Kind::Folder;
        int parentTile = -1; // index in tiles(), -1 for the zoomed folder's own tile
        int depth = 0;      // 0 for the zoomed folder's tile
        int64_t bytes = 0;  // the tile's bytes (Other: the merged tiles' sum)
        int64_t files = 0;
        int merged = 0;     // Other: how many folders and file tiles it stands for
        int firstChild = -1; // the tile's children: tiles()[firstChild, firstChild + childCount)
        int childCount = 0;
        bool labelled = false; // a Folder tile that kept a label strip at the top of its content
    };

    // Builds the tree from the folders of one or more drives (any order).
    // roots: the drives' root folders as walked; a folder's missing ancestors
    // below its root are added with nothing of their own. A folder below no
    // root becomes a root of its own (with its own folders below it). With
    // more than one root a nameless top node holds them; with one, node 0 is
    // that root. A folder listed twice adds its totals. capacity: the bytes of
    // the drives (for percentages); 0 when not known. Paths are matched with
    // trailing "/" ignored ("/a/" and "/a" are one folder).
    void build(const std::vector<std::string> &roots, std::vector<Folder> folders, double capacity);
    // The same from folders given by parent and name (a walk's tree): each
    // root of it is a root of the map.
    void build(const std::vector<TreeFolder> &folders, double capacity);

    const std::vector<Node> &nodes() const { return nodes_; }
    int top() const { return nodes_.empty() ? -1 : 0; }
    // The node of a folder path, -1 when it is not in the map.
    int find(const std::string &path) const;
    // A node's path as found; empty for the top (and for an unknown node).
    std::string path(int node) const;
    bool isTop(int node) const { return hasTop_ && node == 0; }
    double capacity() const { return capacity_; }

    // Lays out the tree below zoom (a node) in area; tiles whose area would be
    // below minArea (square pixels) go into their parent's Other tile. A
    // Folder tile keeps a frame (up to 2 px, less on small tiles) and, when
    // it is at least 3 label heights high and 40 px wide, a strip of
    // labelHeight at the top of its content for its label; smaller tiles
    // keep the frame only. Tiles come parents first (paint order), each
    // tile's children one after another. A call with the same arguments as
    // the last one returns the last layout without work. An unknown zoom
    // gives no tiles; an empty area gives the zoomed folder's tile only.
    const std::vector<Tile> &layout(int zoom, const QRectF &area, double minArea = 24.0, double labelHeight = 14.0);
    const std::vector<Tile> &tiles() const { return tiles_; }
    // How many layouts were worked out (not taken from the last one).
    int layoutsMade() const { return layoutsMade_; }

    // The deepest tile of the last layout containing p, -1 when none.
    int tileAt(const QPointF &p) const;

    // A folder was removed (or emptied) after a removal: subtracts what it
    // held from its ancestors. gone: its tree leaves the map. Not gone: the
    // folder stays as a leaf holding ownBytesLeft/ownFilesLeft (what the
    // removal left in it); the folders below it leave the map. Folders that
    // leave keep their node numbers but have no parent, no children and no
    // bytes, and find() no longer knows them. The top stays (a removed top
    // is emptied). The next layout starts afresh (tiles() is empty until it).
    void removed(int node, bool gone, int64_t ownBytesLeft = 0, int64_t ownFilesLeft = 0);

private:
    // The index of sub-folders by parent and name: a hash of both to the
    // node; a node found is checked against both (and a node that left the
    // map has no parent, so it is never found).
    // A path without its closing "/" ("/" stays).
    static std::string_view key(std::string_view path);
    static uint64_t childHash(int parent, std::string_view name);
    int child(int parent, std::string_view name) const;
    int addNode(std::string nameBytes, QString name, int parent);
    // A root: node 0 for the first; the second puts a nameless top above.
    int addRoot(std::string path, QString name);
    // Below a root, the node of path (the nodes between made when make is set); -1: none.
    int descend(std::string_view path, bool make);
    int rootNamed(std::string_view path) const; // the root of that path, -1: none
    void resetIndex();
    // Depths, totals and the children's order, once the nodes are in.
    void finishBuild();
    void sortChildren(int node);
    void countUnshown(int node);
    void layoutChildren(int tile, double minArea, double labelHeight);
    std::vector<Node> nodes_;
    std::vector<Tile> tiles_;
    std::unordered_multimap<uint64_t, int> children_; // childHash -> node
    std::vector<int> roots_;                            // the roots' nodes
    bool hasTop_ = false;         // node 0 is the nameless top above several roots
    // Per node: the files of its items that get no tile for having no bytes
    // (sub-folders of 0 bytes, own files of 0 bytes), so an Other tile's
    // files come without reading the whole child list.
    std::vector<int64_t> unshownFiles_;
    double capacity_ = 0;
    bool valid_ = false;
    int lastZoom_ = -1;
    QRectF lastArea_;
    double lastMinArea_ = 0, lastLabelHeight_ = 0;
    int layoutsMade_ = 0;
};
