#pragma once
#include "finders/FolderMap.h"

#include <QColor>
#include <QWidget>
#include <memory>

class QPainter;

// The folder map's drawing: the tiles FolderMap lays out for the folder
// shown (the zoom), coloured by their level below it, with a label where
// one fits, the selected folder outlined, and a legend along the bottom.
// The view only draws and reports the tile under the mouse; the window
// decides what a click, a double click or the menu does.
class TFolderMapView : public QWidget {
    Q_OBJECT
public:
    explicit TFolderMapView(QWidget *parent = nullptr);

    void setMap(std::shared_ptr<FolderMap> map);
    FolderMap *map() const { return map_.get(); }
    // The folder shown (a node of the map); its tree fills the view.
    void setZoom(int node);
    int zoom() const { return zoom_; }
    // The map's tree changed (a removal): drawn afresh, the tile under the
    // mouse found again at its next move.
    void mapChanged();
    // The folder outlined (a node), -1 for none.
    void setSelected(int node);
    int selected() const { return selected_; }

    // Paints the map of the zoom into r of p: the tiles, their labels, the
    // selection and the legend. The layout is worked out again only when
    // the zoom, the room or the font changed (paintEvent and printing use
    // this; so does the benchmark, on an image).
    void paintMap(QPainter &p, const QRect &r);
    // The tiles laid out for the view's present size (the ones painted).
    const std::vector<FolderMap::Tile> &tiles();
    // The tile under a point of the view, -1 for none.
    int tileAt(const QPoint &pos);
    // The Folder tile of a node in the present layout, -1 when it has none.
    int tileOf(int node);

    // The texts of a tile: its name, its size, and the tooltip (the whole
    // path, bytes, files and the share of the drive).
    QString tileName(const FolderMap::Tile &t) const;
    QString tileToolTip(const FolderMap::Tile &t) const;
    // "1,234 files" ("1 file").
    static QString filesText(int64_t files);
    // "1.92 % of the drive"; empty when the drives' capacity is not known.
    // For a scan file, of the scan's total ("100.00 % of the scan" at its top).
    QString shareText(int64_t bytes) const;
    void setShareOfScan(bool scan) { ofScan_ = scan; }

    // The fill of a tile: by its level below the folder shown (1 to 8, the
    // eighth standing for every deeper one); the files lying in a folder
    // itself in a lighter tint of the folder's colour, merged small items in
    // grey.
    static QColor levelColour(int depth);
    static QColor fillOf(const FolderMap::Tile &t);
    static constexpr int kLevels = 8;

signals:
    // The mouse moved onto another tile (-1: none).
    void hovered(int tile);
    void clicked(int tile);
    void doubleClicked(int tile);
    void menuRequested(int tile, const QPoint &globalPos);
    // Backspace; Enter or Return.
    void zoomOutKey();
    void zoomInKey();

protected:
    void paintEvent(QPaintEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void leaveEvent(QEvent *e) override;
    bool event(QEvent *e) override;

private:
    bool ofScan_ = false; // the map shows a scan file: shares are of its total
    // The part of r the tiles take (the legend has the rest).
    QRect tileArea(const QRect &r) const;
    int legendHeight() const;
    double labelHeight() const;
    const std::vector<FolderMap::Tile> &layoutFor(const QRect &r);
    void paintLabels(QPainter &p, const std::vector<FolderMap::Tile> &tiles);
    void paintLegend(QPainter &p, const QRect &strip);

    std::shared_ptr<FolderMap> map_;
    int zoom_ = -1;
    int selected_ = -1;
    int hover_ = -1;
};
