#include "finders/FolderMap.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

namespace {
using Kind = FolderMap::Kind;

// A tree of one root, /r, with sizes far apart: some folders of it are too
// small to get a tile of their own in a 400x300 map.
FolderMap knownTree()
{
    FolderMap m;
    m.build({"/r"},
            {{"/r", 5000, 5},
             {"/r/a", 100000, 10},
             {"/r/a/a1", 300000, 30},
             {"/r/a/a2", 200000, 20},
             {"/r/a/a2/deep", 150000, 15},
             {"/r/b", 250000, 25},
             {"/r/c", 90000, 9},
             {"/r/c/c1", 1000, 1},
             {"/r/d", 40000, 4},
             {"/r/e", 0, 0},
             {"/r/f", 12, 1}},
            2e6);
    return m;
}

double areaOf(const QRectF &r) { return r.width() * r.height(); }

bool inside(const QRectF &in, const QRectF &out)
{
    const double e = 1e-6;
    return in.left() >= out.left() - e && in.top() >= out.top() - e && in.right() <= out.right() + e &&
           in.bottom() <= out.bottom() + e;
}

// Every tile inside its parent's content, siblings apart, each tile's share
// of the parent's content within 1 % of its share of the parent's bytes.
void expectSoundLayout(const FolderMap &m, const std::vector<FolderMap::Tile> &tiles)
{
    for (size_t i = 1; i < tiles.size(); ++i) {
        const FolderMap::Tile &t = tiles[i];
        ASSERT_GE(t.parentTile, 0);
        ASSERT_LT(t.parentTile, int(i)) << "parents first";
        const FolderMap::Tile &p = tiles[size_t(t.parentTile)];
        EXPECT_TRUE(inside(t.rect, p.content)) << i;
        EXPECT_TRUE(inside(t.content, t.rect)) << i;
        EXPECT_EQ(t.depth, p.depth + 1);
        const double share = areaOf(t.rect) / areaOf(p.content);
        const double want = double(t.bytes) / double(m.nodes()[size_t(p.node)].bytes);
        EXPECT_NEAR(share, want, 0.01) << i;
        for (int s = p.firstChild; s < p.firstChild + p.childCount; ++s)
            if (s != int(i)) {
                EXPECT_LT(areaOf(t.rect.intersected(tiles[size_t(s)].rect)), 1e-6) << i << " overlaps " << s;
            }
        EXPECT_GE(int(i), p.firstChild);
        EXPECT_LT(int(i), p.firstChild + p.childCount);
    }
}

TEST(FolderMap, TreeTotalsChildrenLargestFirstAndFind)
{
    const FolderMap m = knownTree();
    ASSERT_EQ(m.top(), 0);
    const auto &n = m.nodes();
    EXPECT_EQ(m.path(0), "/r");
    EXPECT_EQ(n[0].name, "/r");
    EXPECT_EQ(n[0].bytes, 5000 + 100000 + 300000 + 200000 + 150000 + 250000 + 90000 + 1000 + 40000 + 12);
    EXPECT_EQ(n[0].files, 5 + 10 + 30 + 20 + 15 + 25 + 9 + 1 + 4 + 1);
    const int a = m.find("/r/a"), deep = m.find("/r/a/a2/deep/");
    ASSERT_GE(a, 0);
    ASSERT_GE(deep, 0);
    EXPECT_EQ(n[size_t(a)].bytes, 750000);
    EXPECT_EQ(n[size_t(deep)].depth, 3);
    EXPECT_EQ(n[size_t(deep)].name, "deep");
    EXPECT_EQ(m.find("/r/zz"), -1);
    std::vector<std::string> order;
    for (int c : n[0].children)
        order.push_back(m.path(c));
    EXPECT_EQ(order, (std::vector<std::string>{"/r/a", "/r/b", "/r/c", "/r/d", "/r/f", "/r/e"}));
}

TEST(FolderMap, TilesProportionalInsideParentsAndApart)
{
    FolderMap m = knownTree();
    const auto &tiles = m.layout(0, QRectF(10, 20, 400, 300), 24, 14);
    ASSERT_GT(tiles.size(), 8u);
    EXPECT_EQ(tiles[0].rect, QRectF(10, 20, 400, 300));
    EXPECT_TRUE(tiles[0].labelled);
    EXPECT_EQ(tiles[0].content.top(), 20 + 2 + 14);
    expectSoundLayout(m, tiles);
    // The root's own files, each folder with bytes, and no tile for /r/e.
    std::set<std::pair<int, Kind>> seen;
    for (const auto &t : tiles)
        seen.insert({t.node, t.kind});
    EXPECT_TRUE(seen.count({0, Kind::OwnFiles}));
    EXPECT_TRUE(seen.count({m.find("/r/a/a2/deep"), Kind::Folder}));
    EXPECT_FALSE(seen.count({m.find("/r/e"), Kind::Folder}));

    // A whole drive's worth of generated folders holds to the same rules.
    std::vector<FolderMap::Folder> many;
    unsigned seed = 7;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const std::string path = "/g/t" + std::to_string(i % 13) + "/m" + std::to_string(i % 97) + "/f" + std::to_string(i);
        many.push_back({path, int64_t(seed >> 12) * ((seed & 3) == 0 ? 50 : 1), 1});
    }
    FolderMap g;
    g.build({"/g"}, many, 0);
    expectSoundLayout(g, g.layout(0, QRectF(0, 0, 1600, 1000), 24, 14));
}

TEST(FolderMap, TilesOfLikeSizesAreNearlySquare)
{
    FolderMap m;
    std::vector<FolderMap::Folder> f;
    for (int i = 0; i < 12; ++i)
        f.push_back({"/r/f" + std::to_string(i), 1000 + i, 1});
    m.build({"/r"}, f, 0);
    const auto &tiles = m.layout(0, QRectF(0, 0, 400, 300), 1, 14);
    int folders = 0;
    for (const auto &t : tiles)
        if (t.kind == Kind::Folder && t.depth == 1) {
            ++folders;
            const double w = t.rect.width(), h = t.rect.height();
            EXPECT_LE(std::max(w, h) / std::min(w, h), 2.0) << w << "x" << h;
        }
    EXPECT_EQ(folders, 12);
}

TEST(FolderMap, SmallItemsMergeIntoOtherOrStayUnpainted)
{
    FolderMap m;
    std::vector<FolderMap::Folder> f = {{"/r", 0, 0}, {"/r/big", 10000, 1}, {"/r/empty", 0, 5}};
    for (int i = 0; i < 10; ++i)
        f.push_back({"/r/s" + std::to_string(i), 10, 2});
    m.build({"/r"}, f, 0);
    // Content 96 x 82: a 10-byte folder would take 7.8 square pixels.
    const auto &tiles = m.layout(0, QRectF(0, 0, 100, 100), 24, 14);
    ASSERT_EQ(tiles.size(), 4u); // the root, /r/big, Other, then /r/big's files
    EXPECT_EQ(tiles[3].kind, Kind::OwnFiles);
    EXPECT_EQ(tiles[1].kind, Kind::Folder);
    EXPECT_EQ(tiles[1].node, m.find("/r/big"));
    EXPECT_EQ(tiles[2].kind, Kind::Other);
    EXPECT_EQ(tiles[2].node, 0);
    EXPECT_EQ(tiles[2].bytes, 100);
    EXPECT_EQ(tiles[2].files, 20);
    EXPECT_EQ(tiles[2].merged, 10);
    expectSoundLayout(m, tiles);

    // An Other of less than minArea is left as unpainted space.
    FolderMap u;
    u.build({"/r"}, {{"/r/big", 10000, 1}, {"/r/s1", 5, 1}, {"/r/s2", 5, 1}}, 0);
    const auto &ut = u.layout(0, QRectF(0, 0, 100, 100), 24, 14);
    ASSERT_EQ(ut.size(), 3u);
    EXPECT_EQ(ut[0].childCount, 1);
    EXPECT_EQ(ut[1].node, u.find("/r/big"));
    EXPECT_LT(areaOf(ut[1].rect), areaOf(ut[0].content) - 1);
    expectSoundLayout(u, ut);
}

TEST(FolderMap, ZoomLaysOutOnlyThatSubtree)
{
    FolderMap m = knownTree();
    const int a = m.find("/r/a");
    const auto &tiles = m.layout(a, QRectF(0, 0, 300, 200));
    ASSERT_FALSE(tiles.empty());
    EXPECT_EQ(tiles[0].node, a);
    EXPECT_EQ(tiles[0].bytes, 750000);
    EXPECT_EQ(tiles[0].parentTile, -1);
    for (const auto &t : tiles) {
        int n = t.node;
        while (n >= 0 && n != a)
            n = m.nodes()[size_t(n)].parent;
        EXPECT_EQ(n, a) << m.path(t.node);
    }
    expectSoundLayout(m, tiles);
    EXPECT_TRUE(m.layout(99, QRectF(0, 0, 300, 200)).empty());
    EXPECT_EQ(m.layout(0, QRectF(0, 0, 300, 200))[0].node, 0); // and out again
}

TEST(FolderMap, TileAtFindsTheDeepestTile)
{
    FolderMap m = knownTree();
    const auto &tiles = m.layout(0, QRectF(0, 0, 400, 300), 24, 14);
    for (double x = 0.5; x < 400; x += 7)
        for (double y = 0.5; y < 300; y += 7) {
            const QPointF p(x, y);
            int deepest = -1;
            for (size_t i = 0; i < tiles.size(); ++i)
                if (tiles[i].rect.contains(p) && (deepest < 0 || tiles[i].depth > tiles[size_t(deepest)].depth))
                    deepest = int(i);
            const int got = m.tileAt(p);
            ASSERT_GE(got, 0);
            EXPECT_TRUE(tiles[size_t(got)].rect.contains(p));
            EXPECT_EQ(tiles[size_t(got)].depth, tiles[size_t(deepest)].depth) << x << "," << y;
        }
    EXPECT_EQ(m.tileAt(QPointF(500, 10)), -1);
    const int deep = m.find("/r/a/a2/deep");
    for (size_t i = 0; i < tiles.size(); ++i)
        if (tiles[i].node == deep && tiles[i].kind == Kind::Folder) {
            EXPECT_EQ(tiles[size_t(m.tileAt(tiles[i].content.center()))].node, deep); // its own-files tile
        }
}

TEST(FolderMap, RemovedAdjustsTheChainAndOrder)
{
    FolderMap m = knownTree();
    const auto &n = m.nodes();
    const int a = m.find("/r/a"), a2 = m.find("/r/a/a2"), deep = m.find("/r/a/a2/deep");
    const int64_t rootBytes = n[0].bytes, rootFiles = n[0].files;
    m.layout(0, QRectF(0, 0, 400, 300));
    m.removed(deep, true);
    EXPECT_TRUE(m.tiles().empty());
    EXPECT_EQ(m.find("/r/a/a2/deep"), -1);
    EXPECT_EQ(n[size_t(a2)].bytes, 200000);
    EXPECT_EQ(n[size_t(a)].bytes, 600000);
    EXPECT_EQ(n[0].bytes, rootBytes - 150000);
    EXPECT_EQ(n[0].files, rootFiles - 15);
    EXPECT_TRUE(n[size_t(a2)].children.empty());

    // Left behind with some own files: the folders below leave, the chain
    // loses the rest, and /r/a (now 100,000 + 1,000) falls behind /r/b.
    m.removed(a, false, 1000, 1);
    EXPECT_EQ(m.find("/r/a/a1"), -1);
    EXPECT_EQ(m.find("/r/a"), a);
    EXPECT_EQ(n[size_t(a)].bytes, 1000);
    EXPECT_EQ(n[size_t(a)].files, 1);
    EXPECT_EQ(n[0].bytes, rootBytes - 750000 + 1000);
    EXPECT_EQ(n[0].files, rootFiles - 75 + 1);
    EXPECT_EQ(n[0].children.front(), m.find("/r/b"));
    const auto &tiles = m.layout(0, QRectF(0, 0, 400, 300));
    expectSoundLayout(m, tiles);
    for (const auto &t : tiles)
        EXPECT_NE(t.node, a2);
}

TEST(FolderMap, SeveralRootsMissingAncestorsAndStrayFolders)
{
    FolderMap m;
    // Children before parents, as the folder hogs list them; /x/y is below
    // no root and becomes one, /x/y/z lands below it.
    m.build({"/d1", "/d2/"},
            {{"/x/y/z", 7, 1}, {"/d2/q/w/e", 30, 3}, {"/d1/p", 20, 2}, {"/x/y", 1, 1}, {"/d1", 10, 1}},
            0);
    const auto &n = m.nodes();
    ASSERT_EQ(m.top(), 0);
    EXPECT_TRUE(m.path(0).empty());
    EXPECT_TRUE(m.isTop(0));
    EXPECT_EQ(n[0].parent, -1);
    EXPECT_EQ(n[0].children.size(), 3u);
    EXPECT_EQ(n[0].bytes, 68);
    const int d2 = m.find("/d2"), q = m.find("/d2/q"), w = m.find("/d2/q/w");
    ASSERT_GE(q, 0);
    ASSERT_GE(w, 0);
    EXPECT_EQ(n[size_t(q)].parent, d2);
    EXPECT_EQ(n[size_t(q)].ownBytes, 0);
    EXPECT_EQ(n[size_t(q)].bytes, 30);
    EXPECT_EQ(n[size_t(d2)].depth, 1);
    EXPECT_EQ(n[size_t(m.find("/d2/q/w/e"))].depth, 4);
    const int y = m.find("/x/y");
    EXPECT_EQ(n[size_t(y)].parent, 0);
    EXPECT_EQ(n[size_t(y)].bytes, 8);
    EXPECT_EQ(n[size_t(m.find("/x/y/z"))].parent, y);
    expectSoundLayout(m, m.layout(0, QRectF(0, 0, 200, 200), 1, 14));

    // No roots named: the one tree found is its own root, node 0.
    FolderMap one;
    one.build({}, {{"/a/b/c", 4, 1}, {"/a/b", 1, 1}}, 0);
    ASSERT_EQ(one.nodes().size(), 2u);
    EXPECT_EQ(one.path(0), "/a/b");
    EXPECT_EQ(one.nodes()[0].bytes, 5);
    EXPECT_EQ(one.nodes()[1].parent, 0);

    FolderMap empty;
    empty.build({}, {}, 0);
    EXPECT_EQ(empty.top(), -1);
    EXPECT_TRUE(empty.layout(0, QRectF(0, 0, 10, 10)).empty());
}

TEST(FolderMap, SameArgumentsReuseTheLayout)
{
    FolderMap m = knownTree();
    const auto *first = m.layout(0, QRectF(0, 0, 400, 300)).data();
    const int made = m.layoutsMade();
    EXPECT_EQ(m.layout(0, QRectF(0, 0, 400, 300)).data(), first);
    EXPECT_EQ(m.layoutsMade(), made);
    m.layout(0, QRectF(0, 0, 401, 300));
    EXPECT_EQ(m.layoutsMade(), made + 1);
    m.layout(0, QRectF(0, 0, 401, 300), 24, 20);
    EXPECT_EQ(m.layoutsMade(), made + 2);
}

TEST(FolderMap, DegenerateAreaGivesTheRootTileOnly)
{
    FolderMap m = knownTree();
    for (const QRectF &r : {QRectF(0, 0, 0, 0), QRectF(5, 5, -20, 30), QRectF(0, 0, 3, 3), QRectF(0, 0, 1e-9, 500)}) {
        const auto &tiles = m.layout(0, r);
        ASSERT_EQ(tiles.size(), 1u);
        EXPECT_EQ(tiles[0].childCount, 0);
        EXPECT_EQ(m.tileAt(QPointF(100, 100)), -1);
    }
}
} // namespace

// Folders claiming the largest sizes (sparse files) leave the totals and
// tiles at the limit, never negative.
TEST(FolderMap, HugeFoldersHoldTheTotalsAtTheLimit)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    FolderMap m;
    m.build({"/r"}, {{"/r", kMax, 1}, {"/r/a", kMax, 1}, {"/r/b", kMax, 2}, {"/r/b/c", 10, 1}}, 1e9);
    EXPECT_EQ(m.nodes()[size_t(m.top())].bytes, kMax);
    EXPECT_EQ(m.nodes()[size_t(m.find("/r/b"))].bytes, kMax);
    for (const FolderMap::Tile &tile : m.layout(m.top(), QRectF(0, 0, 400, 300), 1.0))
        EXPECT_GE(tile.bytes, 0);
}
