#include "app/TfrmAbout.h"

#include "common/Dialogs.h"
#include "common/TBackdrop.h"
#include "common/TShadowLabel.h"
#include "common/TShell.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
QLabel *line(const QString &name, const QString &text, QWidget *parent, bool bold = false)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}
}

TfrmAbout::TfrmAbout(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("How to contact us"));
    setFixedSize(480, 356);
    TBackdrop::applyTile(this);

    // A raised outer frame holding a lowered inner one.
    auto *outer = new QFrame(this);
    outer->setObjectName(QStringLiteral("Panel1"));
    outer->setFrameStyle(QFrame::Panel | QFrame::Raised);
    outer->setLineWidth(2);
    outer->setAutoFillBackground(true);
    auto *inner = new QFrame(outer);
    inner->setObjectName(QStringLiteral("Panel2"));
    inner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inner->setLineWidth(2);
    auto *outerLay = new QVBoxLayout(outer);
    outerLay->setContentsMargins(4, 4, 4, 4);
    outerLay->addWidget(inner);

    auto *product = new TShadowLabel(QStringLiteral("Vantor '95"), QStringLiteral("Times New Roman"), 34, inner);
    product->setObjectName(QStringLiteral("EsLabel1"));
    product->setColours(QColor(192, 192, 192), QColor(64, 64, 64), QColor(255, 255, 255));
    product->setDepth(2);

    auto *lay = new QVBoxLayout(inner);
    lay->setSpacing(2);
    lay->addWidget(product);
    lay->addWidget(line(QStringLiteral("lblVersion"), QStringLiteral("Version 2.9a"), inner, true));
    lay->addSpacing(6);
    lay->addWidget(line(QStringLiteral("lblMaker"), QString::fromLatin1(makerName), inner, true));
    lay->addWidget(line(QStringLiteral("lblStreet"), QStringLiteral("400 Quarry Lane, Suite 95"), inner));
    lay->addWidget(line(QStringLiteral("lblTown"), QStringLiteral("Milltown, ST 00095"), inner));
    lay->addSpacing(6);
    lay->addWidget(line(QStringLiteral("lblVoice"), QStringLiteral("Voice: (555) 010-2995"), inner));
    lay->addWidget(line(QStringLiteral("lblFax"), QStringLiteral("Fax: (555) 010-2996"), inner));
    lay->addSpacing(6);
    lay->addWidget(line(QStringLiteral("lblVisit"),
                        QStringLiteral("Come visit our website for other products and specials"), inner));
    lay->addWidget(line(QStringLiteral("lblWeb"), QStringLiteral("www.brackwell.example"), inner, true));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    btWeb = new QPushButton(QStringLiteral("Brackwell Home Page"), this);
    btWeb->setObjectName(QStringLiteral("btWeb"));
    btWeb->setToolTip(QStringLiteral("Launch your browser to Brackwell Home Page"));
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(btWeb, &QPushButton::clicked, this, &TfrmAbout::btWebClick);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addSpacing(16);
    buttons->addWidget(btWeb);
    buttons->addStretch(1);
    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(24, 16, 24, 14);
    main->addWidget(outer, 1);
    main->addLayout(buttons);

    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void TfrmAbout::btWebClick()
{
    if (!TShell::open(QUrl(QString::fromLatin1(webAddress))))
        dialogs().showError(
            QStringLiteral("Unable to start web browser. Make sure you have it properly set-up on your system."));
}
