#include "Form1.h"
#include "Form1Controls.h"
#include "Form2.h"
#include "LibreOfficeProcessor.h"
#include "PictureBox.h"
#include "ScriptedUserInterface.h"
#include "SettingsStore.h"
#include "SmallFileSystem.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

#include <unistd.h>

// The preview's page viewer commands with real memos from the window's run and the
// real word processor: keys, the page's menu, printing, the PDF copy, where you are.
class PreviewCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void keysZoomAndReturn();
    void fitWidthAndWholePage_data();
    void fitWidthAndWholePage();
    void whereYouAreSaysPageAndZoom();
    void printsTheChosenPagesToAPdfFile();
    void printsToAFileAsEveryOutputIsWritten_data();
    void printsToAFileAsEveryOutputIsWritten();
    void savesAsPdf_data();
    void savesAsPdf();
    void theClipboardWaitsForCopyPage();

private:
    Form2 &preview(int pages);
    void menu(const QString &choice);
    QString whereYouAre() const;
    QString zoomTip() const;

    std::unique_ptr<QTemporaryDir> mFolder;
    std::unique_ptr<SettingsStore> mStore;
    std::unique_ptr<LibreOfficeProcessor> mWord;
    std::unique_ptr<ScriptedUserInterface> mUi;
    std::unique_ptr<Form1> mEntry;
};

// The text pdftotext reads on each page of the PDF file.
static QStringList pdfPages(const QString &pdf)
{
    QStringList pages;
    for (int page = 1;; ++page) {
        QProcess reader;
        reader.start(QStringLiteral("pdftotext"),
            { QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                QString::number(page), pdf, QStringLiteral("-") });
        if (!reader.waitForFinished(60000) || reader.exitCode() != 0)
            break;
        pages << QString::fromUtf8(reader.readAllStandardOutput());
    }
    return pages;
}

void PreviewCommandsTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    mFolder = std::make_unique<QTemporaryDir>();
    mStore = std::make_unique<SettingsStore>(mFolder->filePath(QStringLiteral("Tarnwick.conf")));
    mWord = std::make_unique<LibreOfficeProcessor>();
}

void PreviewCommandsTest::cleanup()
{
    if (mEntry) {
        QFile::remove(mEntry->form2().mWordFile);
        mEntry.reset();
    }
    const auto ui = std::move(mUi);
    if (ui && !ui->messages.isEmpty())
        QFAIL(qPrintable(ui->messages.first().text));
}

// The preview of a Simple memo of that many pages, made by the window's run.
Form2 &PreviewCommandsTest::preview(int pages)
{
    mUi = std::make_unique<ScriptedUserInterface>();
    mEntry = std::make_unique<Form1>(*mUi, *mStore, *mWord);
    mEntry->Form_Load();
    mEntry->show();
    const Form1Controls &c = controls(*mEntry);
    c.Option1[3]->setChecked(true);
    c.dtpEventDate->setDate(QDate(2026, 12, 8));
    c.txtTo->setPlainText(QStringLiteral("Vozizidi"));
    c.txtFrom->setPlainText(QStringLiteral("Zoë Ångström"));
    c.txtRe->setPlainText(QStringLiteral("Budget: Q1/Q2?"));
    QStringList message { QStringLiteral("The first line of the memo.") };
    // About 30 of these lines, each a paragraph, fill a page of the Simple style.
    for (int line = 2; line < (pages - 1) * 30 + 2; ++line)
        message << QStringLiteral("Line %1 of a long memo.").arg(line);
    message << QStringLiteral("The last line of the memo.");
    c.txtMsg->setPlainText(message.join(u'\n'));
    c.PushButton6->click();
    Form2 &form = mEntry->form2();
    [&] { QVERIFY(QTest::qWaitForWindowActive(&form)); }();
    return form;
}

void PreviewCommandsTest::menu(const QString &choice)
{
    mUi->menuChoices << choice;
    auto *page = mEntry->form2().findChild<PictureBox *>(QStringLiteral("Picture1"));
    QContextMenuEvent event(
        QContextMenuEvent::Mouse, QPoint(10, 10), page->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(page, &event);
}

QString PreviewCommandsTest::whereYouAre() const
{
    auto *label = mEntry->form2().findChild<QLabel *>(QStringLiteral("whereYouAre"));
    return label && label->isVisible() ? label->text() : QString();
}

QString PreviewCommandsTest::zoomTip() const
{
    return mEntry->form2().findChild<QPushButton *>(QStringLiteral("PushButton1"))->toolTip();
}

void PreviewCommandsTest::keysZoomAndReturn()
{
    Form2 &form = preview(1);
    QVERIFY(zoomTip().contains(QLatin1String("100 %")));
    QTest::keyClick(&form, Qt::Key_Equal, Qt::ControlModifier);
    QVERIFY2(zoomTip().contains(QLatin1String("125 %")), qPrintable(zoomTip()));
    menu(QString());
    QVERIFY2(mUi->menus.last().contains(QStringLiteral("Actual Size")),
        qPrintable(mUi->menus.last().join(u',')));
    QTest::keyClick(&form, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY2(whereYouAre().endsWith(QLatin1String("150 %")), qPrintable(whereYouAre()));
    QTest::keyClick(&form, Qt::Key_Minus, Qt::ControlModifier);
    QVERIFY(zoomTip().contains(QLatin1String("125 %")));
    QTest::keyClick(&form, Qt::Key_0, Qt::ControlModifier);
    QVERIFY(zoomTip().contains(QLatin1String("100 %")));
    // At the largest step Zoom In cannot act, and its entry says so.
    for (int step = 0; step < 20; ++step)
        QTest::keyClick(&form, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(zoomTip().contains(QLatin1String("375 %")));
    menu(QString());
    QCOMPARE(mUi->menus.last().mid(0, 3),
        QStringList({ QStringLiteral("-Zoom In"), QStringLiteral("Zoom Out"),
            QStringLiteral("Actual Size") }));
}

void PreviewCommandsTest::fitWidthAndWholePage_data()
{
    QTest::addColumn<int>("pages");
    // A4 at 96 dots per inch with its ground, 810 x 1139 pixels, in a 622 x 337 viewport.
    QTest::newRow("one page") << 1;
    QTest::newRow("four pages") << 4;
}

void PreviewCommandsTest::fitWidthAndWholePage()
{
    QFETCH(int, pages);
    preview(pages);
    menu(QStringLiteral("Fit Width"));
    QVERIFY2(zoomTip().contains(QLatin1String("75 %")), qPrintable(zoomTip()));
    menu(QStringLiteral("Whole Page"));
    QVERIFY2(zoomTip().contains(QLatin1String("25 %")), qPrintable(zoomTip()));
    QCOMPARE(whereYouAre(), QStringLiteral("Page 1 of %1 · 25 %").arg(pages));
    menu(QStringLiteral("Actual Size"));
    QVERIFY(zoomTip().contains(QLatin1String("100 %")));
}

void PreviewCommandsTest::whereYouAreSaysPageAndZoom()
{
    Form2 &form = preview(4);
    // A screen reader hears it too, from the page, which has the focus.
    auto *page = form.findChild<PictureBox *>(QStringLiteral("Picture1"));
    QTRY_COMPARE(QApplication::focusWidget(), page);
    QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(page);
    QCOMPARE(spoken->text(QAccessible::Name), QStringLiteral("Memo, page 1 of 4"));
    QTest::keyClick(&form, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_Plus, Qt::ControlModifier);
    // The second page's middle, a quarter and an eighth of the way down.
    auto *bar = form.findChild<QScrollBar *>(QStringLiteral("VScroll1"));
    bar->setValue(bar->maximum() * 3 / 8);
    QCOMPARE(whereYouAre(), QStringLiteral("Page 2 of 4 · 150 %"));
    QCOMPARE(spoken->text(QAccessible::Name), QStringLiteral("Memo, page 2 of 4"));
    QCOMPARE(spoken->text(QAccessible::Description),
        QStringLiteral("Simple style, zoom 150 %. Prints every field."));
    QTRY_COMPARE_WITH_TIMEOUT(whereYouAre(), QString(), 5000);
}

void PreviewCommandsTest::printsTheChosenPagesToAPdfFile()
{
    preview(4);
    const QString printed = mFolder->filePath(QStringLiteral("printed.pdf"));
    mUi->printTo << printed;
    menu(QStringLiteral("Print..."));
    QCOMPARE(mUi->printDialogPages, QList<int>({ 4 }));
    const QStringList pages = pdfPages(printed);
    QCOMPARE(pages.size(), 4);
    QVERIFY(pages.first().contains(QLatin1String("Vozizidi")));
    QVERIFY(pages.first().contains(QLatin1String("Budget: Q1/Q2?")));
    QVERIFY(pages.first().contains(QLatin1String("December")));
    QVERIFY(pages.first().contains(QLatin1String("The first line of the memo.")));
    QVERIFY(pages.last().contains(QLatin1String("The last line of the memo.")));
}

void PreviewCommandsTest::printsToAFileAsEveryOutputIsWritten_data()
{
    QTest::addColumn<QString>("at");
    // The one message a failed print shows; empty when it is printed.
    QTest::addColumn<QString>("message");
    QTest::newRow("over a link") << QStringLiteral("link.pdf") << QString();
    QTest::newRow("on a full file system")
        << QStringLiteral("full/memo.pdf")
        << QStringLiteral("The memo could not be printed. No space left on device while writing ");
    QTest::newRow("in a read-only folder")
        << QStringLiteral("locked/memo.pdf")
        << QStringLiteral("The memo could not be printed. Read-only file system while writing ");
}

void PreviewCommandsTest::printsToAFileAsEveryOutputIsWritten()
{
    QFETCH(QString, at);
    QFETCH(QString, message);
    QTemporaryDir folder;
    const QString linked = folder.filePath(QStringLiteral("target.txt"));
    QVERIFY(QFile(linked).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(linked, folder.filePath(QStringLiteral("link.pdf"))));
    // A full or read-only one is a small file system of its own (read-only for root too).
    std::optional<SmallFileSystem> small;
    if (at.contains(u'/')) {
        small.emplace(folder.filePath(at.section(u'/', 0, 0)));
        if (small->unavailable())
            QSKIP(small->unavailable());
        QVERIFY(at.startsWith(QLatin1String("full")) ? small->fill() : small->makeReadOnly());
    }
    const QString destination = QFileInfo(folder.filePath(at)).path();
    const QStringList before = QDir(destination).entryList(QDir::Files | QDir::Hidden);

    preview(1);
    const QString file = folder.filePath(at);
    mUi->printTo << file;
    menu(QStringLiteral("Print..."));
    if (message.isEmpty()) {
        QVERIFY(!QFileInfo(file).isSymLink());
        const QStringList pages = pdfPages(file);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages.first().contains(QLatin1String("Vozizidi")));
        QCOMPARE(QFileInfo(linked).size(), 0);
    } else {
        QCOMPARE(mUi->messages.size(), 1);
        QCOMPARE(mUi->messages.first().text, message + file);
        mUi->messages.clear();
        // Nothing written, not even an empty file.
        QCOMPARE(QDir(destination).entryList(QDir::Files | QDir::Hidden), before);
    }
}

void PreviewCommandsTest::savesAsPdf_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("asked");
    QTest::newRow("a new name, .pdf added") << QStringLiteral("new") << true << false;
    QTest::newRow("over a file") << QStringLiteral("existing.pdf") << true << true;
    QTest::newRow("at a link") << QStringLiteral("link.pdf") << true << true;
    QTest::newRow("in a read-only folder") << QStringLiteral("locked/memo.pdf") << false << false;
}

void PreviewCommandsTest::savesAsPdf()
{
    QFETCH(QString, at);
    QFETCH(bool, written);
    QFETCH(bool, asked);
    if (!written && ::geteuid() == 0)
        QSKIP("A read-only folder does not stop root.");
    QTemporaryDir folder;
    const QString linked = folder.filePath(QStringLiteral("target.txt"));
    QVERIFY(QFile(linked).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(linked, folder.filePath(QStringLiteral("link.pdf"))));
    QFile existing(folder.filePath(QStringLiteral("existing.pdf")));
    QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("old") == 3);
    existing.close();
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("locked")));
    QFile::setPermissions(
        folder.filePath(QStringLiteral("locked")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    preview(1);
    const QString chosen = folder.filePath(at);
    mUi->fileNames << chosen;
    mUi->answers << UserInterface::Yes;
    menu(QStringLiteral("Save as PDF..."));
    QCOMPARE(mUi->dialogs.size(), 1);
    QCOMPARE(mUi->dialogs.first().fileName, QStringLiteral("Budget_ Q1_Q2_.pdf"));
    QCOMPARE(mUi->dialogs.first().filter, QStringLiteral("PDF Files (*.pdf)|*.pdf"));
    const QString file = QFileInfo(chosen).suffix().isEmpty() ? chosen + ".pdf" : chosen;
    // The overwrite question, as for the Word file.
    if (asked) {
        QCOMPARE(mUi->messages.size(), 1);
        QVERIFY(mUi->messages.takeFirst().text.startsWith(QLatin1String("Are you sure")));
    }
    if (written) {
        QVERIFY(!QFileInfo(file).isSymLink());
        const QStringList pages = pdfPages(file);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages.first().contains(QLatin1String("Vozizidi")));
        QCOMPARE(QFileInfo(linked).size(), 0);
    } else {
        QCOMPARE(mUi->messages.size(), 1);
        QVERIFY(!QFileInfo::exists(file));
        mUi->messages.clear();
    }
    QFile::setPermissions(folder.filePath(QStringLiteral("locked")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void PreviewCommandsTest::theClipboardWaitsForCopyPage()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's own"));
    Form2 &form = preview(4);
    mUi->printTo << mFolder->filePath(QStringLiteral("again.pdf"));
    menu(QStringLiteral("Print..."));
    menu(QStringLiteral("Fit Width"));
    QTest::keyClick(&form, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the user's own"));
    menu(QStringLiteral("Copy Page"));
    const QImage page = QGuiApplication::clipboard()->image();
    // One A4 page, at twice the screen's density.
    QVERIFY(!page.isNull());
    QCOMPARE(qRound(double(page.height()) / page.width() * 21), 30);
}

QTEST_MAIN(PreviewCommandsTest)
#include "tst_previewcommands.moc"
