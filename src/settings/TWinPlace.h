#pragma once
#include <QObject>
#include <QRect>
#include <QString>
#include <array>

class QWidget;

// Remembers a resizable window's placement in the per-user store
// (registry.ini in the settings folder): key IniFileName\Section, value
// Identifier, ten numbers each followed by Delimiter: flags, show state,
// minimised x, y, maximised x, y, normal left, top, right, bottom.
// The window calls save() when it is destroyed; restore() runs at the end of
// every show of the window (the component watches the window's show events).
class TWinPlace : public QObject {
    Q_OBJECT
public:
    using Fields = std::array<int, 10>;

    explicit TWinPlace(QWidget *window);

    QString IniFileName = QStringLiteral("Software\\Brackwell Corporation\\");
    QString Section;    // the program file name
    QString Identifier; // the owning window's name
    QString Delimiter = QStringLiteral(" ");
    // Set on the main window: saved as minimised when the application is.
    bool isMainWindow = false;

    void save();
    void restore();
    // True when a placement is stored for this window (windows that have none open centred).
    bool hasStored() const;
    // Centres the window on its screen.
    void centre();

    static QString format(const Fields &f, const QString &delimiter);
    static Fields parse(const QString &text, const QString &delimiter);
    // A stored rectangle as restored: kept when it fits the screen that shows
    // most of it, with its top edge and half its width on that screen;
    // otherwise moved (and, when larger, shrunk) fully onto the available
    // area of that screen, or of the nearest one when none shows it.
    static QRect onScreen(const QRect &stored);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString storeKey() const;
    QString read() const;
    QWidget *window_;
};
