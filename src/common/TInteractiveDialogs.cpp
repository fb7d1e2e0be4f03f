#include "common/TInteractiveDialogs.h"

#include <QFontDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include <memory>

void TInteractiveDialogs::fitTitle(QMessageBox &box)
{
    // A short text makes a narrow box, and the window manager then cuts its
    // title: the box is made as wide as the title in a bold caption font,
    // with room for the title bar's icon and buttons (about six text lines
    // high in all).
    QFont caption = box.font();
    caption.setBold(true);
    const QFontMetrics fm(caption);
    const int width = fm.horizontalAdvance(box.windowTitle()) + 6 * fm.height();
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

QString TInteractiveDialogs::boxText(const QString &text)
{
    // A line may break after a "/", which cuts a path after its first
    // folder: a word joiner after each "/" within a word keeps a path whole
    // on its line (it still breaks at the spaces around it).
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == QLatin1Char('/') && i + 1 < text.size() && !text[i + 1].isSpace())
            out += QChar(0x2060);
    }
    return out;
}

namespace {
// The box's icon; the beeps of errors and warnings sound at once.
QMessageBox::Icon iconOf(Dialogs::Kind kind)
{
    switch (kind) {
    case Dialogs::Kind::Error: QApplication::beep(); return QMessageBox::Critical;
    case Dialogs::Kind::Warning: QApplication::beep(); return QMessageBox::Warning;
    case Dialogs::Kind::Info: return QMessageBox::Information;
    case Dialogs::Kind::Question: return QMessageBox::Question;
    case Dialogs::Kind::Plain: break;
    }
    return QMessageBox::NoIcon;
}
}

QMessageBox *TInteractiveDialogs::detailsBox(Kind kind, const QString &text, const QString &details, QWidget *parent)
{
    auto *box = new QMessageBox(iconOf(kind), QApplication::applicationName(), boxText(text), QMessageBox::Ok, parent);
    if (!details.isEmpty())
        box->setDetailedText(details);
    fitTitle(*box);
    return box;
}

void TInteractiveDialogs::showDetails(Kind kind, const QString &text, const QString &details)
{
    std::unique_ptr<QMessageBox> box(detailsBox(kind, text, details, QApplication::activeWindow()));
    box->exec();
}

Dialogs::Answer TInteractiveDialogs::message(Kind kind, const QString &text, Buttons buttons, const QString &title)
{
    const QMessageBox::Icon icon = iconOf(kind);
    QMessageBox::StandardButtons bs = QMessageBox::Ok;
    switch (buttons) {
    case Buttons::Ok: bs = QMessageBox::Ok; break;
    case Buttons::YesNo: bs = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::OkCancel: bs = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNoCancel: bs = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case Buttons::YesAllNoCancel:
        bs = QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    QMessageBox box(icon, title.isEmpty() ? QApplication::applicationName() : title, boxText(text), bs,
                    QApplication::activeWindow());
    if (buttons == Buttons::YesAllNoCancel)
        box.setDefaultButton(QMessageBox::No);
    fitTitle(box);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::YesToAll: return Answer::YesToAll;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Cancel;
    }
}

std::optional<std::string> TInteractiveDialogs::chooseFolder(const QString &title, const std::string &start)
{
    const QString dir = QFileDialog::getExistingDirectory(QApplication::activeWindow(), title,
                                                          QFile::decodeName(QByteArray::fromStdString(start)),
                                                          QFileDialog::ShowDirsOnly);
    if (dir.isEmpty())
        return {};
    return QFile::encodeName(dir).toStdString();
}

std::optional<std::string> TInteractiveDialogs::chooseOpenFile(const QString &title, const QString &filter,
                                                               const std::string &start)
{
    const QString file = QFileDialog::getOpenFileName(QApplication::activeWindow(), title,
                                                      QFile::decodeName(QByteArray::fromStdString(start)), filter);
    if (file.isEmpty())
        return {};
    return QFile::encodeName(file).toStdString();
}

std::optional<std::string> TInteractiveDialogs::chooseSaveFile(const QString &title, const QString &filter,
                                                               const std::string &start)
{
    const QString file = QFileDialog::getSaveFileName(QApplication::activeWindow(), title,
                                                      QFile::decodeName(QByteArray::fromStdString(start)), filter);
    if (file.isEmpty())
        return {};
    return QFile::encodeName(file).toStdString();
}

std::optional<QString> TInteractiveDialogs::inputText(const QString &title, const QString &prompt,
                                                      const QString &initial, bool password)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                               password ? QLineEdit::Password : QLineEdit::Normal, initial, &ok);
    if (!ok)
        return {};
    return text;
}

bool TInteractiveDialogs::choosePrinter(QPrinter &printer, const QString &title)
{
    QPrintDialog dlg(&printer, QApplication::activeWindow());
    if (!title.isEmpty())
        dlg.setWindowTitle(title);
    return dlg.exec() == QDialog::Accepted;
}

bool TInteractiveDialogs::choosePrintRange(QPrinter &printer, bool offerSelection, const QString &title)
{
    QPrintDialog dlg(&printer, QApplication::activeWindow());
    if (!title.isEmpty())
        dlg.setWindowTitle(title);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, offerSelection);
    return dlg.exec() == QDialog::Accepted;
}

std::optional<QFont> TInteractiveDialogs::chooseFont(const QFont &initial, bool fixedOnly)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, QApplication::activeWindow(), QString(),
                                         fixedOnly ? QFontDialog::MonospacedFonts : QFontDialog::FontDialogOptions());
    if (!ok)
        return std::nullopt;
    return f;
}

bool TInteractiveDialogs::printerSetup(QPrinter &printer)
{
    QPageSetupDialog dlg(&printer, QApplication::activeWindow());
    return dlg.exec() == QDialog::Accepted;
}
