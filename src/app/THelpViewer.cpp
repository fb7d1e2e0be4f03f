#include "app/THelpViewer.h"

#include "common/TShell.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QHBoxLayout>
#include <QVBoxLayout>

THelpViewer::THelpViewer(QWidget *parent) : QDialog(parent)
{
    // The manual is compiled into the window library.
    Q_INIT_RESOURCE(help);
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Vantor '95 Help"));
    txtHelp = new QTextBrowser(this);
    txtHelp->setObjectName(QStringLiteral("txtHelp"));
    txtHelp->setOpenLinks(false);
    // Links within the manual move the viewer; others go to the desktop's browser.
    connect(txtHelp, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        const QUrl target = txtHelp->source().resolved(url);
        if (target.scheme() == QLatin1String("qrc"))
            txtHelp->setSource(target);
        else
            TShell::open(target);
    });

    auto *btBack = new QPushButton(QStringLiteral("&Back"), this);
    btBack->setObjectName(QStringLiteral("btBack"));
    auto *btContents = new QPushButton(QStringLiteral("&Contents"), this);
    btContents->setObjectName(QStringLiteral("btContents"));
    auto *btClose = new QPushButton(QStringLiteral("Close"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    connect(btBack, &QPushButton::clicked, txtHelp, &QTextBrowser::backward);
    connect(txtHelp, &QTextBrowser::backwardAvailable, btBack, &QPushButton::setEnabled);
    connect(btContents, &QPushButton::clicked, this, [this] { showTopic(1); });
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
    btBack->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btContents);
    buttons->addWidget(btBack);
    buttons->addStretch(1);
    buttons->addWidget(btClose);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(txtHelp, 1);
    lay->addLayout(buttons);
    resize(640, 560);
}

void THelpViewer::showTopic(int topic)
{
    QUrl url(QString::fromLatin1(manual));
    url.setFragment(QStringLiteral("topic%1").arg(topic));
    txtHelp->setSource(url);
    txtHelp->scrollToAnchor(url.fragment());
}
