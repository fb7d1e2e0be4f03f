#include "finders/TfrmMods.h"

#include "common/DosTime.h"
#include "scan/TPatternBox.h"
#include "scan/TResultGrid.h"
#include "scan/WildMatch.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {
constexpr int kPanelWidth = 632;
constexpr int kPanelHeight = 190;

FinderFrameSpec frameSpec()
{
    FinderFrameSpec s;
    s.objectName = QStringLiteral("TfrmMods");
    s.caption = QStringLiteral("Files in a range of dates");
    s.startHint = QStringLiteral("Start scanning for files");
    s.archiveTag = QStringLiteral("FileDates");
    s.flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
        | Qt::WindowCloseButtonHint;
    s.initialSize = {636, 420};
    s.panel = {kPanelWidth, kPanelHeight};
    s.buttonRow = {3, kPanelHeight - 30};
    s.placementStore = QStringLiteral("vantor95");
    s.patternBox = true;
    s.plainAbortBox = true;
    s.grid = TfrmMods::gridLayout();
    return s;
}

QRadioButton *radio(QWidget *parent, const char *name, const QString &caption, QBoxLayout *row)
{
    auto *rb = new QRadioButton(caption, parent);
    rb->setObjectName(QLatin1String(name));
    row->addWidget(rb);
    return rb;
}

// A date field that tells a value being typed from a chosen one: while a
// key other than a step key is pressed, a change is a half-typed value
// ("1" on the way to "11"), and the typed date counts once the edit is
// finished (Enter, or the focus leaves). A step (arrow keys, wheel, spin
// buttons) and a calendar pick are chosen at once.
class DateField : public QDateEdit {
public:
    explicit DateField(QWidget *parent) : QDateEdit(parent)
    {
        connect(this, &QDateEdit::editingFinished, this, [this] { whole_ = false; });
    }
    bool typing() const { return typing_; }

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        const int k = e->key();
        typing_ = k != Qt::Key_Up && k != Qt::Key_Down && k != Qt::Key_PageUp && k != Qt::Key_PageDown;
        QLineEdit *line = lineEdit();
        const bool character = !e->text().isEmpty() && e->text().at(0).isPrint()
            && !(e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
        // A character typed over the whole selected text starts a date typed
        // whole ("12/25/2026"): its characters go in as typed, not section by
        // section, and the date is read when the edit ends.
        if (character && !line->text().isEmpty() && line->selectedText() == line->text())
            whole_ = true;
        if (whole_ && (character || k == Qt::Key_Backspace)) {
            // Unheard by the field, which would put its sections back.
            const QSignalBlocker quiet(line);
            if (character)
                line->insert(e->text());
            else
                line->backspace();
            e->accept();
        } else {
            QDateEdit::keyPressEvent(e);
        }
        typing_ = false;
    }
    void focusOutEvent(QFocusEvent *e) override
    {
        QDateEdit::focusOutEvent(e);
        whole_ = false;
    }
    QValidator::State validate(QString &text, int &pos) const override
    {
        if (!whole_)
            return QDateEdit::validate(text, pos);
        // The field's own check may put its last date back into the text;
        // a date typed whole keeps what was typed.
        QString copy = text;
        int at = pos;
        const QValidator::State s = QDateEdit::validate(copy, at);
        if (s == QValidator::Acceptable && copy == text)
            return s;
        // Part of a date typed whole: digits and separators so far.
        for (QChar c : text)
            if (!c.isDigit() && !c.isPunct() && !c.isSpace())
                return QValidator::Invalid;
        return QValidator::Intermediate;
    }

private:
    bool typing_ = false;
    bool whole_ = false; // a date is being typed whole
};

DateField *dateField(QWidget *parent, const char *name)
{
    auto *d = new DateField(parent);
    d->setObjectName(QLatin1String(name));
    d->setCalendarPopup(true);
    // Only the days a file's stamp can hold.
    d->setDateRange(DateRange::minimumDate(), DateRange::maximumDate());
    d->setDisplayFormat(shortDateFormat());
    return d;
}
}

GridLayout TfrmMods::gridLayout()
{
    GridLayout l;
    // Rows are handed over as typed files; the fields are those of
    // DateRange::line.
    l.columns = {{QStringLiteral("Filename"), 1, 110, CellKind::Name},
                 {QStringLiteral("Accessed"), 2, 68, CellKind::Accessed},
                 {QStringLiteral("Created"), 3, 68, CellKind::Created},
                 {QStringLiteral("Modified"), 4, 68, CellKind::Modified},
                 {QStringLiteral("Size"), 5, 65, CellKind::Size},
                 {QStringLiteral("Folder"), 6, 189, CellKind::Folder},
                 {QStringLiteral("Type"), 7, 0, CellKind::Type}};
    l.markColumn = 0;
    l.sizeColumn = 4;
    // The type column: the client width less the first five columns and 25
    // (the folder column is not subtracted, so the grid scrolls sideways).
    l.lastColumnLess = 110 + 68 + 68 + 68 + 65 + 25;
    l.sortEntries = {
        {QStringLiteral("&Name"), 0, SortKind::Text, QStringLiteral("FileDates/Name"), false},
        {QStringLiteral("Access &Date"), 1, SortKind::Date, QStringLiteral("FileDates/Access"), true},
        {QStringLiteral("&Creation Date"), 2, SortKind::Date, QStringLiteral("FileDates/Created"), true},
        {QStringLiteral("&Modification Date"), 3, SortKind::Date, QStringLiteral("FileDates/Modified"), true},
        {QStringLiteral("&Size"), 4, SortKind::Number, QStringLiteral("FileDates/Size"), false},
        {QStringLiteral("&Folder"), 5, SortKind::Text, QStringLiteral("FileDates/Folder"), false},
        {QStringLiteral("&Type"), 6, SortKind::Text, QStringLiteral("FileDates/Type"), false},
    };
    return l;
}

TfrmMods::TfrmMods(QWidget *parent) : TFinderFrame(frameSpec(), parent)
{
    rgWhat = new QGroupBox(QStringLiteral("Search for files that were"), pnlTop);
    rgWhat->setObjectName(QStringLiteral("rgWhat"));
    rgWhat->setGeometry(8, 2, 400, 46);
    auto *whatRow = new QHBoxLayout(rgWhat);
    whatRow->setContentsMargins(8, 2, 8, 2);
    rbAccessed = radio(rgWhat, "rbAccessed", QStringLiteral("Last accessed"), whatRow);
    rbCreated = radio(rgWhat, "rbCreated", QStringLiteral("Created"), whatRow);
    rbModified = radio(rgWhat, "rbModified", QStringLiteral("Last modified"), whatRow);
    what_ = new QButtonGroup(this);
    what_->addButton(rbAccessed, int(DateRange::Stamp::Accessed));
    what_->addButton(rbCreated, int(DateRange::Stamp::Created));
    what_->addButton(rbModified, int(DateRange::Stamp::Modified));
    rbAccessed->setChecked(true);

    rgWhen = new QGroupBox(pnlTop);
    rgWhen->setObjectName(QStringLiteral("rgWhen"));
    rgWhen->setGeometry(8, 52, 400, 34);
    auto *whenRow = new QHBoxLayout(rgWhen);
    whenRow->setContentsMargins(8, 2, 8, 2);
    rbBefore = radio(rgWhen, "rbBefore", QStringLiteral("On or Before"), whenRow);
    rbBetween = radio(rgWhen, "rbBetween", QStringLiteral("In between"), whenRow);
    rbAfter = radio(rgWhen, "rbAfter", QStringLiteral("On or After"), whenRow);
    when_ = new QButtonGroup(this);
    when_->addButton(rbBefore, int(DateRange::When::OnOrBefore));
    when_->addButton(rbBetween, int(DateRange::When::Between));
    when_->addButton(rbAfter, int(DateRange::When::OnOrAfter));
    rbBetween->setChecked(true);
    connect(when_, &QButtonGroup::idClicked, this, &TfrmMods::rgWhenClick);

    dtStart = dateField(pnlTop, "dtStart");
    dtStart->setGeometry(8, 92, 120, 24);
    lblAnd = new QLabel(QStringLiteral("and"), pnlTop);
    lblAnd->setObjectName(QStringLiteral("lblAnd"));
    lblAnd->setAlignment(Qt::AlignCenter);
    lblAnd->setGeometry(128, 92, 40, 24);
    dtEnd = dateField(pnlTop, "dtEnd");
    dtEnd->setGeometry(168, 92, 120, 24);
    // Each field keeps the two in order when its date is chosen: at once
    // for a step or a calendar pick, at the end of the edit for typing.
    for (auto [field, keepOrder] : {std::pair{dtStart, &TfrmMods::dtStartGetDate}, std::pair{dtEnd, &TfrmMods::dtEndGetDate}}) {
        connect(field, &QDateEdit::dateChanged, this, [this, field, keepOrder] {
            if (!static_cast<DateField *>(field)->typing())
                (this->*keepOrder)();
        });
        connect(field, &QDateEdit::editingFinished, this, keepOrder);
    }
    addWalkInput(dtStart);
    addWalkInput(dtEnd);

    patternBox->caption()->setText(QStringLiteral("Wildcard match"));
    patternBox->setGeometry(8, 124, 400, 26);

    btMark->setToolTip(QStringLiteral("Mark files for deletion"));
    btBrowse->setToolTip(QStringLiteral("Browse through files"));
    btScan->setDefault(true);

    grid->printTitle = [this]() { return printTitle(); };

    // The walk: every visible file matching the pattern, each one in range
    // listed at once. Events run as each folder starts and between files;
    // the status shows the folder whose files are being read.
    Walker &w = walker();
    w.keeping = Walker::Keeping::Append;
    w.pumpAtFolderStart = true;
    w.pumpBetweenFolders = false;
    w.clearStatusAfterFiles = true;
    w.visitor = [this](const FoundFile &f) {
        if (scanned_.inRange(f)) {
            ResultGridModel *m = grid->gridModel();
            m->addFile(f, m->typeId(DateRange::typeText(f)));
        }
        return true;
    };
    rgWhenClick();
}

void TfrmMods::openingSteps()
{
    adjusting_ = false;
    const QDate today = QDate::currentDate();
    dtStart->setDate(today);
    dtEnd->setDate(today);
}

DateRange TfrmMods::criteria() const
{
    DateRange r;
    r.stamp = DateRange::Stamp(what_->checkedId());
    r.when = DateRange::When(when_->checkedId());
    r.start = dtStart->date();
    r.end = dtEnd->date();
    return r;
}

bool TfrmMods::beforeWalk()
{
    // One search for the whole walk: changes made while it runs apply to
    // the next one.
    scanned_ = criteria();
    walker().mask = WildPattern(patternBox->pattern());
    return true;
}

QString TfrmMods::foundStatus(int found) const
{
    return QStringLiteral("Found : ") + QString::number(found);
}

QString TfrmMods::browseMask() const
{
    return QStringLiteral("*.*");
}

QString TfrmMods::printTitle() const
{
    return scanned_.printTitle();
}

void TfrmMods::rgWhenClick()
{
    const bool between = rbBetween->isChecked();
    lblAnd->setVisible(between);
    dtEnd->setVisible(between);
}

void TfrmMods::dtStartGetDate()
{
    if (adjusting_)
        return;
    adjusting_ = true;
    if (dtEnd->date() < dtStart->date())
        dtEnd->setDate(dtStart->date());
    adjusting_ = false;
}

void TfrmMods::dtEndGetDate()
{
    if (adjusting_)
        return;
    adjusting_ = true;
    if (dtEnd->date() < dtStart->date())
        dtStart->setDate(dtEnd->date());
    adjusting_ = false;
}
