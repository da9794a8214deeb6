#include "Form1.h"

#include "AppTitle.h"
#include "ApplicationIcon.h"
#include "CursorFile.h"
#include "EntryControls.h"
#include "ErrorTrap.h"
#include "Failure.h"
#include "FileUtils.h"
#include "Form2.h"
#include "HiddenLines.h"
#include "LongText.h"
#include "MemoStyle.h"
#include "RunStrip.h"
#include "SettingText.h"
#include "SettingsStore.h"
#include "Skin.h"
#include "StylePictures.h"
#include "StyleTemplates.h"
#include "StyleTips.h"
#include "Twips.h"
#include "UndoNotice.h"
#include "UserInterface.h"
#include "WindowLayout.h"
#include "WordCheck.h"
#include "WordSession.h"

#include <QCloseEvent>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>

#include <limits>

using namespace EntryControls;

namespace {
// Where an error report says a step failed.
constexpr auto kLoadLocation = "in Scrivane2021/08/31.Form1.Form_Load ";
constexpr auto kQueryUnloadLocation = "in Scrivane2021/08/31.Form1.Form_QueryUnload ";
constexpr auto kResetLocation = "in Scrivane2021/08/31.Form1.PushButton2_Click ";
constexpr auto kSampleLocation = "in Scrivane2021/08/31.Form1.PushButton3_Click ";
constexpr auto kUndoLocation = "in Scrivane2021/08/31.Form1.Undo ";

constexpr double kWindowFontPoints = 9;
constexpr double kButtonFontPoints = 11.25;
constexpr double kStyleNoteFontPoints = 7.5;
constexpr QRgb kStyleNoteInk = qRgb(0x9a, 0x3b, 0x12);
// The window and its text boxes keep white whatever the desktop's theme.
constexpr Qt::GlobalColor kWindowGround = Qt::white;
constexpr Qt::GlobalColor kFieldGround = Qt::white;

constexpr QSize kClientArea = twipsSize(9240, 6345);

constexpr TwipRect kPushButton6 { 120, 120, 9000, 405 };
constexpr TwipRect kPushButton2 { 120, 630, 4440, 405 };
constexpr TwipRect kPushButton3 { 4680, 630, 4440, 405 };
constexpr TwipRect kFrame3 { 120, 1140, 9000, 700 };
constexpr TwipRect kFrame1 { 120, 1935, 9000, 4290 };

// Right of the last style button, inside the style group.
constexpr TwipRect kStyleNote { 7320, 135, 1620, 525 };

constexpr std::array<TwipRect, 5> kOption1 { {
    { 240, 300, 1455, 255 },
    { 1920, 300, 1575, 255 },
    { 3720, 300, 975, 255 },
    { 4920, 300, 975, 255 },
    { 6120, 300, 1095, 255 },
} };

// Rows of "Memo details": the label and its entry control, top to bottom.
constexpr int kEntryLeft = 2040;
constexpr int kEntryWidth = 6735;
struct Row
{
    const char *caption;
    TwipRect label;
    int entryTop;
    int entryHeight;
};
constexpr std::array<Row, 7> kRows { {
    { "Date", { 240, 345, 390, 225 }, 300, 345 },
    { "Company Name", { 240, 795, 1740, 225 }, 750, 345 },
    { "To:", { 240, 1245, 255, 225 }, 1200, 345 },
    { "CC:", { 240, 1695, 285, 225 }, 1650, 345 },
    { "From:", { 240, 2145, 1740, 225 }, 2100, 345 },
    { "Re: (Subject)", { 240, 2595, 1740, 225 }, 2550, 345 },
    { "Message", { 240, 3045, 1740, 225 }, 3000, 1080 },
} };

const QDate kDesignDate(2010, 1, 17);
const QDate kFirstDate(1601, 1, 1);
const QDate kLastDate(9999, 12, 31);

QDate storedDate(const QString &text)
{
    const auto date = dateFromSettingText(text);
    if (!date)
        fail(QStringLiteral("The stored date \"%1\" is not a date in this computer's date format.")
                 .arg(text));
    if (*date < kFirstDate || *date > kLastDate)
        fail(QStringLiteral("The stored date \"%1\" lies outside 1601 to 9999.").arg(text));
    return *date;
}
} // namespace

Form1::Form1(UserInterface &ui, SettingsStore &settings, WordProcessor &word)
    : QWidget(nullptr,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , PushButton6(control<QPushButton>(this, "PushButton6"))
    , PushButton2(control<QPushButton>(this, "PushButton2"))
    , PushButton3(control<QPushButton>(this, "PushButton3"))
    , Frame3(control<QGroupBox>(this, "Frame3"))
    , Frame1(control<QGroupBox>(this, "Frame1"))
    , Option1(controls<QRadioButton, 5>(Frame3, "Option1"))
    , Label4(controls<QLabel, 7>(Frame1, "Label4"))
    , styleNote(control<QLabel>(Frame3, "styleNote"))
    , dtpEventDate(control<DatePicker>(Frame1, "dtpEventDate"))
    , txtOrgName(control<QLineEdit>(Frame1, "txtOrgName"))
    , txtTo(multiLineBox(Frame1, "txtTo"))
    , txtCC(control<QLineEdit>(Frame1, "txtCC"))
    , txtFrom(multiLineBox(Frame1, "txtFrom"))
    , txtRe(multiLineBox(Frame1, "txtRe"))
    , txtMsg(multiLineBox(Frame1, "txtMsg"))
    , mTextFields { {
          { kMemoFields[0], txtOrgName, &Form1::txtOrgName_Change, &Form1::txtOrgName_GotFocus,
              &Form1::txtOrgName_MouseMove },
          { kMemoFields[1], txtTo, &Form1::txtTo_Change, &Form1::txtTo_GotFocus,
              &Form1::txtTo_MouseMove },
          { kMemoFields[2], txtCC, &Form1::txtCC_Change, &Form1::txtCC_GotFocus,
              &Form1::txtCC_MouseMove },
          { kMemoFields[3], txtFrom, &Form1::txtFrom_Change, &Form1::txtFrom_GotFocus,
              &Form1::txtFrom_MouseMove },
          { kMemoFields[4], txtRe, &Form1::txtRe_Change, &Form1::txtRe_GotFocus,
              &Form1::txtRe_MouseMove },
          { kMemoFields[5], txtMsg, &Form1::txtMsg_Change, &Form1::txtMsg_GotFocus,
              &Form1::txtMsg_MouseMove },
      } }
    , mUi(ui)
    , mSettings(settings)
    , mWord(word)
    , mPointer(*this)
    , mRun(*this, word, ui)
{
    setObjectName(QStringLiteral("Form1"));
    for (const TextField &each : mTextFields)
        Q_ASSERT(each.control->objectName() == QLatin1String(each.field.control));
    buildLayout();
    // Qt's one-line boxes stop at 32,767 characters; a memo's fields have no limit.
    for (QLineEdit *line : { txtOrgName, txtCC })
        line->setMaxLength(std::numeric_limits<int>::max());
    connectHandlers();
    mStylePictures = std::make_unique<StylePictures>(dynamic_cast<SpareLending *>(&mWord));
    mStyleTemplates = std::make_unique<StyleTemplates>(Option1, mUi, mSettings, mWord,
        StyleTemplates::Hooks { [this] { mStylePictures->giveWay(); },
            [this](bool busy) { setBusyPointer(busy); }, [this](int) { showStyleNote(); } });
    mStyleTips = std::make_unique<StyleTips>(Option1, *mStylePictures, [this](int style) {
        MemoDetails memo = currentMemo();
        memo.style = style;
        memo.ownTemplate = ownTemplate(style);
        return memo;
    });
    mRunStrip = new RunStrip(this, kFrame3.pixels(), { Frame1, Frame3, PushButton2, PushButton3 },
        [this] { return mRun.cancel(); });
    QList<QWidget *> memo(Option1.cbegin(), Option1.cend());
    memo << dtpEventDate;
    for (const TextField &each : mTextFields)
        memo << each.control;
    mUndo = new UndoNotice(this, memo, [this](const MemoDetails &before) {
        fillDetails(QString::fromLatin1(kUndoLocation), before);
    });
    for (QPlainTextEdit *box : { txtTo, txtFrom, txtRe })
        new HiddenLines(box);
    for (const QKeyCombination keys : { Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter })
        connect(new QShortcut(keys, this), &QShortcut::activated, PushButton6, &QPushButton::click);
    mSettings.onSoonWritten([this](const QString &failure) {
        QMetaObject::invokeMethod(this, [this, failure] {
            if (!failure.isEmpty())
                warnNotRemembered(failure);
            saveTyping();
        });
    });
}

// The program itself ends through endProgram, where no destructor runs and main's
// beforeEnd stores the typing instead; this is for windows that tests make and destroy.
Form1::~Form1()
{
    saveTyping();
    // A write under way may still call the handler it took: wait for it.
    mSettings.onSoonWritten({});
    try {
        mSettings.flush();
    } catch (const Failure &) {
        // Nobody is left to tell.
    }
}

void Form1::buildLayout()
{
    setFixedSize(kClientArea);
    setFont(boldArial(kWindowFontPoints));
    QPalette white = palette();
    white.setColor(QPalette::Window, kWindowGround);
    setPalette(white);
    setAutoFillBackground(true);

    const auto placeButton = [](QPushButton *button, const char *caption, const TwipRect &place) {
        button->setText(QString::fromLatin1(caption));
        button->setFont(boldArial(kButtonFontPoints));
        button->setGeometry(place.pixels());
        button->setAutoDefault(false);
    };
    placeButton(PushButton6, "Start Creating Template", kPushButton6);
    placeButton(PushButton2, "Clear/Reset Data", kPushButton2);
    placeButton(PushButton3, "Load Sample/Example Data", kPushButton3);

    Frame3->setTitle(QStringLiteral("Memo Style Options"));
    Frame3->setGeometry(kFrame3.pixels());
    styleNote->setGeometry(kStyleNote.pixels());
    styleNote->setWordWrap(true);
    styleNote->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont noteFont = styleNote->font();
    noteFont.setBold(false);
    noteFont.setPointSizeF(kStyleNoteFontPoints);
    styleNote->setFont(noteFont);
    QPalette notePalette = styleNote->palette();
    notePalette.setColor(QPalette::WindowText, QColor(kStyleNoteInk));
    styleNote->setPalette(notePalette);
    Frame1->setTitle(QStringLiteral("Memo details"));
    Frame1->setGeometry(kFrame1.pixels());

    // Exclusive among themselves, and none selected until the settings are restored.
    for (size_t index = 0; index < Option1.size(); ++index) {
        Option1[index]->setText(QString::fromLatin1(kMemoStyles[index].caption));
        Option1[index]->setGeometry(kOption1[index].pixels());
        Option1[index]->setAutoExclusive(true);
    }

    // The date's row, then the text fields' rows.
    std::array<QWidget *, 7> entries { dtpEventDate };
    for (size_t field = 0; field < mTextFields.size(); ++field)
        entries[field + 1] = mTextFields[field].control;
    for (size_t row = 0; row < kRows.size(); ++row) {
        QLabel *label = Label4[row];
        label->setText(QString::fromLatin1(kRows[row].caption));
        QRect place = kRows[row].label.pixels();
        // A caption in bold may be wider than the designed label; never clip it.
        place.setWidth(std::max(place.width(), label->sizeHint().width()));
        label->setGeometry(place);
        entries[row]->setGeometry(
            twipsRect(kEntryLeft, kRows[row].entryTop, kEntryWidth, kRows[row].entryHeight));
    }
    txtMsg->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMsg->document()->setDocumentMargin(4);

    dtpEventDate->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
    dtpEventDate->setCalendarPopup(true);
    dtpEventDate->setDateRange(kFirstDate, kLastDate);
    dtpEventDate->setDate(kDesignDate);

    for (const TextField &each : mTextFields) {
        QPalette palette = each.control->palette();
        palette.setColor(QPalette::Base, kFieldGround);
        each.control->setPalette(palette);
    }

    // Keyboard order: the memo's details, the style group, then the three buttons.
    QList<QWidget *> order = { entries.cbegin(), entries.cend() };
    order << Option1[4] << Option1[3] << Option1[2] << Option1[1] << Option1[0] << PushButton6
          << PushButton2 << PushButton3;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    dtpEventDate->setFocus();

    centreOnScreen(*this);
}

void Form1::connectHandlers()
{
    for (const TextField &each : mTextFields) {
        const auto change = [this, handler = each.change] { runChangeHandler(handler); };
        if (auto *line = qobject_cast<QLineEdit *>(each.control))
            connect(line, &QLineEdit::textChanged, this, change);
        else
            connect(qobject_cast<QPlainTextEdit *>(each.control), &QPlainTextEdit::textChanged,
                this, change);
        each.control->installEventFilter(this);
        onMouseMove(each.control, [this, handler = each.mouseMove] { (this->*handler)(); });
    }
    connect(dtpEventDate, &QDateEdit::dateChanged, this,
        [this] { runChangeHandler(&Form1::dtpEventDate_Change); });

    for (int index = 0; index < static_cast<int>(Option1.size()); ++index) {
        connect(Option1[index], &QRadioButton::toggled, this, [this] {
            keepStyleGroupOneTabStop();
            showStyleNote();
        });
        connect(Option1[index], &QRadioButton::toggled, this, [this, index](bool checked) {
            if (checked && !mRestoringStyle)
                runChangeHandler([this, index] { Option1_Click(index); });
        });
    }

    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);

    onMouseMove(this, [this] { Form_MouseMove(); });
    onMouseMove(Frame1, [this] { Frame1_MouseMove(2); });
    onMouseMove(Frame3, [this] { Frame3_MouseMove(); });
    onMouseMove(dtpEventDate, [this] { dtpEventDate_MouseMove(); });
    onMouseMove(PushButton2, [this] { PushButton2_MouseMove(); });
    onMouseMove(PushButton3, [this] { PushButton3_MouseMove(); });
    onMouseMove(PushButton6, [this] { PushButton6_MouseMove(); });
}

void Form1::Form_Load()
{
    ErrorTrap trap(mUi, QString::fromLatin1(kLoadLocation));
    trap.step(100, [&] { ApplySkin(*this); });
    trap.step(104, [&] { setWindowTitle(QString::fromLatin1(kProductName)); });
    trap.step(104, [&] { setWindowIcon(applicationIcon()); });
    trap.step(104, [&] { SetAppTitle(); });
    if (trap.test(106, [&] { return FileExists(handCursorPath()); }))
        trap.step(108, [&] { mPointer.setCustomIcon(loadCursorFile(handCursorPath())); });

    // One warning for a store that cannot be read, not one more for each field restored.
    const QString problem = mSettings.readProblem();
    if (!problem.isEmpty())
        mUi.messageBox(problem + QStringLiteral("\r\nThe memo's fields start empty."),
            UserInterface::Buttons::Ok, UserInterface::Icon::Warning);
    mRestoreWrites = problem.isEmpty();
    const auto restored = qScopeGuard([&] { mRestoreWrites = true; });
    trap.step(128, [&] {
        const QString stored = mSettings.GetSetting(QString::fromLatin1(kMemoDate.control));
        const QDate date = stored.isEmpty() ? QDate::currentDate() : storedDate(stored);
        programChange([&] { dtpEventDate->setDate(date); });
    });
    int line = 130;
    for (const MemoField &field : kMemoFields) {
        trap.step(line,
            [&] { setFieldText(field, mSettings.GetSetting(QString::fromLatin1(field.control))); });
        line += 2;
    }

    int style = 0;
    trap.step(142, [&] {
        style = wholeNumberFromSettingText(mSettings.GetSetting(
            QString::fromLatin1(kMemoStyleControl), QString::number(kFirstStartStyle)));
    });
    // A restored style is no new choice: it is not written back.
    trap.step(144, [&] {
        mRestoringStyle = true;
        const auto styleRestored = qScopeGuard([this] { mRestoringStyle = false; });
        selectStyle(style);
    });
    trap.step(146, [&] { CheckWordInstalled(mWord, mUi); });
}

void Form1::Form_QueryUnload(bool & /*cancel*/, int /*unloadMode*/)
{
    ErrorTrap trap(mUi, QString::fromLatin1(kQueryUnloadLocation));
    quint8 count = 0;
    trap.step(100, [&] { count = static_cast<quint8>(Option1.size()); });
    for (quint8 index = 0; index < count; ++index) {
        if (trap.test(102, [&] { return Option1[index]->isChecked(); }))
            trap.step(102, [&] {
                mSettings.SaveSetting(
                    QString::fromLatin1(kMemoStyleControl), QString::number(index));
            });
    }
}

void Form1::Form_Unload(bool & /*cancel*/)
{
    saveTyping();
    try {
        mSettings.flush();
    } catch (const Failure &) {
        // The user was told when the write failed.
    }
    mUi.endProgram();
}

void Form1::closeEvent(QCloseEvent *event)
{
    bool cancel = false;
    Form_QueryUnload(cancel, 0);
    if (cancel) {
        event->ignore();
        return;
    }
    // Closed during a run: the run's offices and files go with it.
    if (mRun.busy())
        mRun.abandon();
    Form_Unload(cancel);
}

void Form1::endAsClosed()
{
    if (mForm2 && mForm2->isVisible())
        KillFile(mForm2->mWordFile);
    close();
}

void Form1::dtpEventDate_Change()
{
    saveValue(dtpEventDate->objectName(), dateToSettingText(dtpEventDate->date()));
}

// Kept when chosen, like the fields, so that every way of ending keeps it.
void Form1::Option1_Click(int index)
{
    mSettings.SaveSetting(QString::fromLatin1(kMemoStyleControl), QString::number(index));
}

// A field's settings key is its control's name.
void Form1::saveField(const QWidget *control)
{
    if (mProgramChanges == 0) {
        // Typing: the field's text is taken when the store is ready for it, so a
        // keystroke in a large field never waits for its whole text.
        mTyped.insert(control);
        if (!mSettings.isWritingSoon())
            saveTyping();
        return;
    }
    saveValue(control->objectName(), fieldText(control));
}

QString Form1::fieldText(const QWidget *control)
{
    const auto *line = qobject_cast<const QLineEdit *>(control);
    return line ? line->text() : longText(qobject_cast<const QPlainTextEdit *>(control));
}

// Everything typed since the last write goes to the store's thread in one write.
void Form1::saveTyping()
{
    for (const QWidget *control : std::exchange(mTyped, {}))
        mSettings.SaveSettingSoon(control->objectName(), fieldText(control));
}

// A change of the program's own is on disk when its step ends, so the step reports
// a failure. What the store already gives back (an absent key reads as empty) is not
// written again: the restore would otherwise rewrite a large store once per field.
void Form1::saveValue(const QString &key, const QString &value)
{
    if (mProgramChanges == 0)
        mSettings.SaveSettingSoon(key, value);
    else if (mRestoreWrites && mSettings.GetSetting(key) != value)
        mSettings.SaveSetting(key, value);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (const TextField *field = textField(watched))
            (this->*field->gotFocus)();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::PushButton2_Click()
{
    MemoDetails cleared;
    cleared.style = 0;
    fillDetails(QString::fromLatin1(kResetLocation), cleared, QStringLiteral("Memo cleared"));
}

void Form1::PushButton3_Click()
{
    fillDetails(QString::fromLatin1(kSampleLocation), withSampleData({}),
        QStringLiteral("Example memo loaded"));
}

// Both data buttons: the first style, then each text field; the date stays. Undo puts
// back what they replaced the same way; a memo with no style chosen keeps the style.
void Form1::fillDetails(const QString &location, const MemoDetails &memo, const QString &done)
{
    const MemoDetails before = currentMemo();
    ErrorTrap trap(mUi, location);
    if (memo.style >= 0)
        trap.step(100, [&] { selectStyle(memo.style); });
    int line = 102;
    for (const MemoField &field : kMemoFields) {
        trap.step(line, [&] { setFieldText(field, memo.*field.text); });
        line += 2;
    }
    if (!done.isEmpty())
        mUndo->offer(done, before);
}

void Form1::PushButton6_Click()
{
    // The run takes the spare office a style picture may be using.
    mStylePictures->giveWay();
    // A click during a run finds it busy (step 100) and leaves the strip to that run.
    const bool watching = mRunStrip->begin();
    const auto ended = qScopeGuard([&] {
        if (watching)
            mRunStrip->end();
    });
    mRun.makeMemo();
}

MemoDetails Form1::currentMemo() const
{
    MemoDetails memo;
    for (const MemoField &field : kMemoFields)
        memo.*field.text = text(field);
    memo.date = eventDate();
    memo.style = selectedStyle();
    return memo;
}

void Form1::showProgress(const QString &doing)
{
    mRunStrip->say(doing);
}

Form2 &Form1::form2()
{
    if (!mForm2)
        mForm2 = std::make_unique<Form2>(
            mUi, this, &mSettings, &mWord, [this] { return txtRe->toPlainText(); });
    return *mForm2;
}

QString Form1::text(const MemoField &field) const
{
    const QWidget *control = fieldControl(field);
    if (const auto *line = qobject_cast<const QLineEdit *>(control))
        return line->text();
    return longText(qobject_cast<const QPlainTextEdit *>(control));
}

QWidget *Form1::fieldControl(const MemoField &field) const
{
    const auto each
        = std::find_if(mTextFields.cbegin(), mTextFields.cend(), [&](const TextField &candidate) {
              return qstrcmp(candidate.field.control, field.control) == 0;
          });
    Q_ASSERT(each != mTextFields.cend());
    return each->control;
}

const Form1::TextField *Form1::textField(const QObject *control) const
{
    const auto each = std::find_if(mTextFields.cbegin(), mTextFields.cend(),
        [&](const TextField &candidate) { return candidate.control == control; });
    return each == mTextFields.cend() ? nullptr : &*each;
}

QDate Form1::eventDate() const
{
    return dtpEventDate->date();
}

std::shared_ptr<const OwnTemplate> Form1::ownTemplate(int style) const
{
    return mStyleTemplates ? mStyleTemplates->ownTemplate(style) : nullptr;
}

void Form1::setBusyPointer(bool busy)
{
    mPointer.set(busy ? MousePointer::Hourglass : MousePointer::Default);
}

void Form1::showPreview()
{
    Form2 &preview = form2();
    preview.show();
    preview.activateWindow();
}

void Form1::showStyleNote()
{
    // Only the fields the style leaves out are read: this runs at every keystroke, and
    // the message may be megabytes long.
    MemoDetails memo;
    memo.style = selectedStyle();
    memo.ownTemplate = ownTemplate(memo.style);
    for (const MemoField &field : kMemoFields) {
        if (memo.style >= 0 && !printsField(memo, field))
            memo.*field.text = text(field);
    }
    const QString note = leftOutNote(memo);
    // The label is narrow and sits beside the chosen style, so it names only the fields;
    // the whole sentence is its tooltip.
    const qsizetype fields = note.indexOf(QStringLiteral(": "));
    styleNote->setText(fields < 0 ? note : QStringLiteral("Leaves out:\n") + note.mid(fields + 2));
    styleNote->setToolTip(note);
}

// Tab enters the style group at its selected button and leaves it from there; the
// arrow keys move within it.
void Form1::keepStyleGroupOneTabStop()
{
    const int selected = selectedStyle();
    for (int index = 0; index < static_cast<int>(Option1.size()); ++index)
        Option1[index]->setFocusPolicy(
            selected < 0 || index == selected ? Qt::StrongFocus : Qt::ClickFocus);
}

int Form1::selectedStyle() const
{
    for (int index = 0; index < static_cast<int>(Option1.size()); ++index) {
        if (Option1[index]->isChecked())
            return index;
    }
    return -1;
}

void Form1::selectStyle(int index)
{
    if (index < 0 || index >= static_cast<int>(Option1.size()))
        fail(QStringLiteral("Control array element '%1' doesn't exist").arg(index));
    programChange([&] { Option1[index]->setChecked(true); });
}

void Form1::setFieldText(const MemoField &field, const QString &text)
{
    QWidget *control = fieldControl(field);
    if (auto *line = qobject_cast<QLineEdit *>(control))
        setFieldText(line, text);
    else
        setFieldText(qobject_cast<QPlainTextEdit *>(control), text);
}

void Form1::setFieldText(QLineEdit *field, const QString &text)
{
    programChange([&] { field->setText(text); });
}

void Form1::setFieldText(QPlainTextEdit *field, const QString &text)
{
    // Text written on another desktop may carry CR LF pairs; a line break here is LF.
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    programChange([&] { setLongText(field, normalised); });
}

void Form1::programChange(const std::function<void()> &change)
{
    mChangeFailure = nullptr;
    ++mProgramChanges;
    change();
    --mProgramChanges;
    if (auto failure = std::exchange(mChangeFailure, nullptr))
        std::rethrow_exception(failure);
}

// A change made by a step of the program reports its failure through that step;
// one made by the user's typing has no step to report it, so the user is told
// once that what they type is not being remembered.
void Form1::runChangeHandler(void (Form1::*handler)())
{
    runChangeHandler([this, handler] { (this->*handler)(); });
}

void Form1::runChangeHandler(const std::function<void()> &handler)
{
    showStyleNote();
    try {
        handler();
    } catch (const std::exception &error) {
        if (mProgramChanges > 0) {
            if (!mChangeFailure)
                mChangeFailure = std::current_exception();
        } else {
            warnNotRemembered(describe(error));
        }
    }
}

void Form1::warnNotRemembered(const QString &reason)
{
    if (std::exchange(mWarnedAboutSettings, true))
        return;
    mUi.messageBox(
        QStringLiteral("What you type cannot be remembered for the next start:\r\n") + reason,
        UserInterface::Buttons::Ok, UserInterface::Icon::Warning);
}
