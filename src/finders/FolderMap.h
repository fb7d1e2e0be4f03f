#pragma once
#include <QRectF>
#include <QString>

#include <cstdint>
#include <string>
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
class FolderMap {
public:
    // One folder as the all-folders walk totalled it: its own files only.
    struct Folder {
        std::string path; // as found (bytes)
        int64_t ownBytes = 0;
        int64_t ownFiles = 0;
    };

    struct Node {
        std::string path;  // as found; empty for the top above several drives
        QString name;      // display name of the last component (the root: the path)
        int parent = -1;
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
    };

    // Builds the tree from the folders of one or more drives (any order).
    // roots: the drives' root folders as walked; a folder's missing ancestors
    // below its root are added with nothing of their own. With more than one
    // root a nameless top node holds them. capacity: the bytes of the drives
    // (for percentages); 0 when not known.
    void build(const std::vector<std::string> &roots, std::vector<Folder> folders, double capacity);

    const std::vector<Node> &nodes() const { return nodes_; }
    int top() const { return nodes_.empty() ? -1 : 0; }
    // The node of a folder path, -1 when it is not in the map.
    int find(const std::string &path) const;
    double capacity() const { return capacity_; }

    // Lays out the tree below zoom (a node) in area; tiles whose area would be
    // below minArea (square pixels) go into their parent's Other tile. Tiles
    // come parents first (paint order). A call with the same zoom, area and
    // minArea as the last one returns the last layout without work.
    const std::vector<Tile> &layout(int zoom, const QRectF &area, double minArea = 24.0);
    const std::vector<Tile> &tiles() const { return tiles_; }

    // The deepest tile of the last layout containing p, -1 when none.
    int tileAt(const QPointF &p) const;

    // A folder was removed (or emptied) after a removal: subtracts what it
    // held from its ancestors; its tree leaves the map when removed, or is
    // replaced by its own new totals (ownBytes/ownFiles) when left behind.
    // The next layout starts afresh.
    void removed(int node, bool gone, int64_t ownBytesLeft = 0, int64_t ownFilesLeft = 0);

private:
    std::vector<Node> nodes_;
    std::vector<Tile> tiles_;
    double capacity_ = 0;
    int lastZoom_ = -1;
    QRectF lastArea_;
    double lastMinArea_ = 0;
};
