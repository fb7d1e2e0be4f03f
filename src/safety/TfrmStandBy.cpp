#include "safety/TfrmStandBy.h"

#include "common/TBackdrop.h"
#include "common/TLongLived.h"
#include "common/TShadowLabel.h"
#include "safety/NonDeleteList.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

TfrmStandBy::TfrmStandBy(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmStandBy"));
    setWindowTitle(QStringLiteral("Loading Files"));
    setFixedSize(427, 94);
    TBackdrop::applyTile(this);

    auto *text = new TShadowLabel(QStringLiteral("Loading files ... standby"), QStringLiteral("Times New Roman"), 27,
                                  this);
    text->setObjectName(QStringLiteral("EsLabel1"));
    text->setColours(QColor(0, 0, 255), QColor(128, 128, 0));
    text->setDepth(2);

    bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(12, 6, 12, 10);
    lay->addWidget(text, 1);
    lay->addWidget(bar);

    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

TfrmStandBy &TfrmStandBy::instance() { return TLongLived<TfrmStandBy>::instance(); }

// Escape and the window manager's close do nothing: the caller hides it.
void TfrmStandBy::reject() {}

void TfrmStandBy::closeEvent(QCloseEvent *e) { e->ignore(); }

void TfrmStandBy::showEvent(QShowEvent *e)
{
    nonDeleteList().forgetLastFolder();
    QDialog::showEvent(e);
}

void TfrmStandBy::hideEvent(QHideEvent *e)
{
    nonDeleteList().forgetLastFolder();
    QDialog::hideEvent(e);
}
