#include "safety/TfrmZipOptions.h"

#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "common/Text.h"
#include "scan/TFixedWindow.h"

#include <QFile>
#include <QShowEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {
QLabel *label(QWidget *parent, const char *name, const QString &text, int x, int y, int w)
{
    return TFixedWindow::placed<QLabel>(parent, name, QRect(x, y, w, 18), text);
}
}

TfrmZipOptions::TfrmZipOptions(QWidget *parent) : QDialog(parent)
{
    const QSize designed(452, 262);
    TFixedWindow::begin(this, "TfrmZipOptions", QStringLiteral("Archive Zip File Options"), designed);

    lblHeading = TFixedWindow::heading(this, "lblHeading", QRect(8, 6, 436, 34),
                                       QStringLiteral("Archive Zip File options"), QColor(0, 0, 128),
                                       QColor(128, 128, 128));

    Label1 = label(this, "Label1", QStringLiteral("Store Zip Archive Files in this folder:"), 12, 48, 420);
    Edit1 = TFixedWindow::placed<QLineEdit>(this, "Edit1", QRect(12, 68, 396, 24));
    Edit1->setReadOnly(true);
    Edit1->setToolTip(QStringLiteral("Click on the button on the right to change"));
    QPalette grey = Edit1->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    Edit1->setPalette(grey);
    SpeedButton1 = TFixedWindow::placed<QToolButton>(this, "SpeedButton1", QRect(412, 68, 28, 24));
    SpeedButton1->setText(QStringLiteral("..."));
    Label2 = label(this, "Label2", QStringLiteral("Note: the zip folder can be on the network on a different machine!"),
                   12, 96, 430);

    Label3 = label(this, "Label3", QStringLiteral("Comment to be inserted into Archive Zip file:"), 12, 130, 420);
    Edit2 = TFixedWindow::placed<QLineEdit>(this, "Edit2", QRect(12, 150, 428, 24));
    Edit2->setMaxLength(80);
    Label4 = label(this, "Label4",
                   QStringLiteral("Note: Comments make it much easier to identify archive zip files later."), 12, 178,
                   430);

    btOK = TFixedWindow::placed<QPushButton>(this, "btOK", QRect(266, 222, 84, 28), QStringLiteral("OK"));
    btOK->setDefault(true);
    btCancel = TFixedWindow::placed<QPushButton>(this, "btCancel", QRect(356, 222, 84, 28), QStringLiteral("Cancel"));

    setTabOrder(Edit2, SpeedButton1);
    setTabOrder(SpeedButton1, btOK);
    setTabOrder(btOK, btCancel);

    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmZipOptions::SpeedButton1Click);
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

    TFixedWindow::finish(this, designed);
}

void TfrmZipOptions::showEvent(QShowEvent *event)
{
    // A restore from minimised is not a new opening: typed text stays.
    const bool opening = !event->spontaneous();
    if (opening)
        readSettings();
    QDialog::showEvent(event);
    if (opening)
        Edit2->setFocus();
}

void TfrmZipOptions::readSettings()
{
    IniFile ini;
    AppState::defaultZipPath = ini.readString(QStringLiteral("ZipFile"), QStringLiteral("Path"), QStringLiteral("C:\\"));
    folder_ = AppState::zipFolder();
    Edit1->setText(displayName(folder_));
    zipComment = ini.readString(QStringLiteral("ZipFile"), QStringLiteral("Comment"), QString()).left(80);
    Edit2->setText(zipComment);
}

void TfrmZipOptions::writeSettings()
{
    AppState::defaultZipPath = QFile::decodeName(QByteArray::fromStdString(folder_));
    zipComment = Edit2->text();
    writeOrReport([this] {
        IniFile ini;
        ini.writeString(QStringLiteral("ZipFile"), QStringLiteral("Path"), AppState::defaultZipPath);
        ini.writeString(QStringLiteral("ZipFile"), QStringLiteral("Comment"), zipComment);
    });
}

void TfrmZipOptions::SpeedButton1Click()
{
    if (const auto chosen = dialogs().chooseFolder(QStringLiteral("Location of archive zip files"), folder_)) {
        folder_ = *chosen;
        while (folder_.size() > 1 && folder_.back() == '/')
            folder_.pop_back();
        Edit1->setText(displayName(folder_));
    }
}

void TfrmZipOptions::done(int result)
{
    writeSettings();
    QDialog::done(result);
}
