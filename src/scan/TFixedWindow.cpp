#include "scan/TFixedWindow.h"

#include "common/TDialogFrame.h"
#include "common/TShadowLabel.h"
#include "scan/TFontScale.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

void TFixedWindow::begin(QDialog *window, const char *name, const QString &title, QSize designed)
{
    window->setObjectName(QLatin1String(name));
    window->setWindowTitle(title);
    window->setWindowFlags(TDialogFrame::flags);
    window->setFixedSize(designed);
}

void TFixedWindow::finish(QDialog *window, QSize designed)
{
    // Drawn in fixed pixels for a narrower font: scaled to the one in use.
    TFontScale::scaleFixedWindow(window, designed);
    centre(window);
}

void TFixedWindow::centre(QWidget *window)
{
    if (const QScreen *s = QGuiApplication::primaryScreen())
        window->move(s->availableGeometry().center() - window->rect().center());
}

TShadowLabel *TFixedWindow::heading(QDialog *window, const char *name, const QRect &r, const QString &text,
                                    const QColor &face, const QColor &shadow)
{
    auto *l = placed<TShadowLabel>(window, name, r, text, QStringLiteral("Times New Roman"), 24);
    l->setColours(face, shadow);
    return l;
}
