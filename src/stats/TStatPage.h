#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <string>
#include <utility>
#include <vector>

class QToolButton;
class QWidget;
class StatTallies;

// What a page of the statistics window may ask of the window that holds it.
class TStatHost {
public:
    // Whether this page widget is the notebook's current page.
    virtual bool isCurrentPage(const QWidget *page) const = 0;
    // A length of the pixel layout at the window's font and screen.
    virtual int scaledLength(int v) const = 0;
    // The pie animation (one timer for the drive pies and the types pie).
    virtual void turnPies(bool on) = 0;
    virtual bool piesTurning() const = 0;
    // The free, total and used bytes of a drive's root.
    virtual bool spaceOf(const std::string &root, double &freeBytes, double &totalBytes, double &usedBytes) const = 0;
    // The drive entries ("c: [label]") of the last collection.
    virtual QStringList collectionDrives() const = 0;

protected:
    ~TStatHost() = default;
};

// A page (or a group of pages) of the statistics window: it builds its
// controls on the notebook page the window gives it, draws them from the
// tallies of the last collection (StatCharts, StatTallies), and keeps its
// own choices. The window keeps the notebook, the collection run and the
// shared controls, and names every page's controls for its callers.
class TStatPage : public QObject {
public:
    TStatPage(TStatHost &host, StatTallies &tallies) : host(host), tallies(tallies) {}

    // The texts of the info buttons, in order 1..5. The access-date note
    // (1) names each drive of atime ("C:") with its access-time mount option.
    static QString infoText(int n, const std::vector<std::pair<QString, QString>> &atime = {});

protected:
    // A "?" button at the top right of a chart page showing infoText(n).
    QToolButton *infoButton(QWidget *page, int n);

    TStatHost &host;
    StatTallies &tallies;
};
