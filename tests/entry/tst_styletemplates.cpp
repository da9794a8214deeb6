#include "Catdoc.h"
#include "CommandLine.h"
#include "Form1.h"
#include "Form1Controls.h"
#include "Form2.h"
#include "LibreOfficeProcessor.h"
#include "OwnTemplate.h"
#include "ScriptedUserInterface.h"
#include "SettingsStore.h"
#include "TemplateCatalogue.h"
#include "TestFiles.h"
#include "TestOffice.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTreeWidget>

#include <optional>

using namespace Qt::Literals::StringLiterals;

// A style's own template, chosen from the style button's menu in the window with the
// real office and settings file: kept across a restart and the original's deletion,
// refused with its reason, and given back for the built-in one.
class StyleTemplatesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aStyleKeepsTheTemplateChosenForItUntilTheBuiltInIsChosen();
    void aRefusedTemplateChangesNothing();
    void theCommandLineTakesTheWindowsTemplateOrTheOneItIsGiven();

private:
    // Opens the style button's menu as a right click (or the Menu key) does.
    void openMenu(Form1 &form, int style, QContextMenuEvent::Reason reason)
    {
        QRadioButton *button = Form1Controls(form).Option1[size_t(style)];
        QContextMenuEvent event(
            reason, button->rect().center(), button->mapToGlobal(button->rect().center()));
        QApplication::sendEvent(button, &event);
    }

    // The memo of the window as it is: its Word file's text, as catdoc reads it.
    QString memoText(Form1 &form)
    {
        mUi.messages.clear();
        Form1Controls(form).PushButton6->click();
        [&] { QVERIFY2(mUi.messages.isEmpty(), qPrintable(mUi.errorReports().join(u'\n'))); }();
        const QString path = form.form2().mWordFile;
        const QString text = catdoc(path);
        QFile::remove(path);
        form.form2().hide();
        form.show();
        return text;
    }

    void fill(Form1 &form)
    {
        const Form1Controls controls(form);
        controls.Option1[0]->setChecked(true);
        controls.txtOrgName->setText(u"Quenbury"_s);
        controls.txtTo->setPlainText(u"Albemarle"_s);
        controls.txtCC->setText(u"Carrowmore"_s);
        controls.txtMsg->setPlainText(u"Marchbanks"_s);
    }

    QTemporaryDir mFolder;
    std::optional<SettingsStore> mStore;
    ScriptedUserInterface mUi;
    QString mLetterhead;
};

void StyleTemplatesTest::initTestCase()
{
    QVERIFY2(!TestOffice::program().isEmpty(), "LibreOffice is needed");
    QVERIFY(mFolder.isValid());
    // A letterhead of the user's: its own words around To and the message only.
    const QString flat = mFolder.filePath(u"letterhead.fodt"_s);
    QVERIFY(writeFile(flat, R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.3"
 office:mimetype="application/vnd.oasis.opendocument.text">
 <office:body><office:text>
  <text:p>Halvergate Letterhead Limited</text:p>
  <text:p>For: <text:bookmark text:name="bkTo"/></text:p>
  <text:p>Note: <text:bookmark text:name="bkMsg"/></text:p>
 </office:text></office:body>
</office:document>
)"));
    try {
        mLetterhead = TestOffice::convert(flat, u"docx:MS Word 2007 XML"_s,
            mFolder.filePath(u"mine"_s), mFolder.filePath(u"profile"_s));
    } catch (const std::exception &error) {
        QFAIL(error.what());
    }
}

void StyleTemplatesTest::init()
{
    mStore.emplace(mFolder.filePath(u"Tarnwick.conf"_s));
    mUi = ScriptedUserInterface();
}

void StyleTemplatesTest::cleanup()
{
    QTRY_VERIFY_WITH_TIMEOUT(TestOffice::childOffices().isEmpty(), 10000);
}

void StyleTemplatesTest::aStyleKeepsTheTemplateChosenForItUntilTheBuiltInIsChosen()
{
    const QString saved = mFolder.filePath(u"Professional.dot"_s);
    const QString mine = mFolder.filePath(u"our letterhead.docx"_s);
    QVERIFY(QFile::copy(mLetterhead, mine));
    LibreOfficeProcessor word;
    {
        Form1 form(mUi, *mStore, word);
        form.Form_Load();
        form.show();
        fill(form);

        mUi.fileNames = QStringList { saved };
        mUi.menuChoices = QStringList { u"Save This Style's Template As..."_s };
        openMenu(form, 0, QContextMenuEvent::Mouse);
        QCOMPARE(mUi.menus.last(),
            QStringList(
                { u"Use a Template of Your Own..."_s, u"Save This Style's Template As..."_s }));
        QCOMPARE(readFile(saved), loadResData(104));

        mUi.openNames = QStringList { mine };
        mUi.menuChoices = QStringList { u"Use a Template of Your Own..."_s };
        openMenu(form, 0, QContextMenuEvent::Keyboard);
        QVERIFY2(mUi.messages.last().text.contains(
                     u"Professional now uses your template \"our letterhead.docx\""_s)
                && mUi.messages.last().text.contains(
                    u"Leaves out: company name, CC, From, Re, date."_s),
            qPrintable(mUi.messages.last().text));
        QCOMPARE(mStore->GetSetting(u"Template0"_s), mine);
        QVERIFY2(Form1Controls(form).styleNote->toolTip().contains(u"company name, CC, date"_s),
            qPrintable(Form1Controls(form).styleNote->toolTip()));
    }

    // The next start, the original gone: the copy Scrivane kept makes the memo.
    QVERIFY(QFile::remove(mine));
    Form1 form(mUi, *mStore, word);
    form.Form_Load();
    form.show();
    const QString ownMemo = memoText(form);
    QVERIFY2(ownMemo.contains(u"Halvergate Letterhead Limited"_s)
            && ownMemo.contains(u"Albemarle"_s) && ownMemo.contains(u"Marchbanks"_s)
            && !ownMemo.contains(u"Carrowmore"_s),
        qPrintable(ownMemo));
    QCOMPARE(form.form2().findChild<QTreeWidget *>()->topLevelItem(0)->text(0),
        u"our letterhead.docx"_s);

    mUi.menuChoices = QStringList { u"Use the Built-in Template"_s };
    openMenu(form, 0, QContextMenuEvent::Mouse);
    QCOMPARE(mUi.menus.last().last(), u"Use the Built-in Template"_s);
    QCOMPARE(mStore->GetSetting(u"Template0"_s, u"unset"_s), QString());
    QVERIFY(!QFileInfo::exists(OwnTemplates::styleFolder(0)));
    const QString builtInMemo = memoText(form);
    QVERIFY2(!builtInMemo.contains(u"Halvergate"_s) && builtInMemo.contains(u"Carrowmore"_s)
            && builtInMemo.contains(u"Quenbury"_s),
        qPrintable(builtInMemo));
}

void StyleTemplatesTest::aRefusedTemplateChangesNothing()
{
    const QString notes = mFolder.filePath(u"notes.dot"_s);
    QVERIFY(writeFile(notes, "bkTo bkMsg: this is plain text\n"));
    LibreOfficeProcessor word;
    Form1 form(mUi, *mStore, word);
    form.Form_Load();
    mUi.openNames = QStringList { notes };
    mUi.menuChoices = QStringList { u"Use a Template of Your Own..."_s };
    openMenu(form, 2, QContextMenuEvent::Mouse);
    QCOMPARE(mUi.messages.last().icon, UserInterface::Icon::Warning);
    QCOMPARE(mUi.messages.last().text,
        u"Scrivane cannot use \"notes.dot\" as a template: it is no word processor document "
        "(give a .dot, .doc, .dotx, .docx, .ott or .odt file).\r\nElegant keeps the template it "
        "had."_s);
    QCOMPARE(mStore->GetSetting(u"Template2"_s, u"unset"_s), u"unset"_s);
    QVERIFY(!QFileInfo::exists(OwnTemplates::styleFolder(2)));
}

// The window's choice for the style, --template, and a batch memo's "template" from the
// batch file's folder, each read back from the memo written.
void StyleTemplatesTest::theCommandLineTakesTheWindowsTemplateOrTheOneItIsGiven()
{
    LibreOfficeProcessor word;
    {
        Form1 form(mUi, *mStore, word);
        form.Form_Load();
        fill(form);
        mUi.openNames = QStringList { mLetterhead };
        mUi.menuChoices = QStringList { u"Use a Template of Your Own..."_s };
        openMenu(form, 0, QContextMenuEvent::Mouse);
    }
    const QString batch = mFolder.filePath(u"batch/memos.json"_s);
    QVERIFY(QDir().mkpath(mFolder.filePath(u"batch"_s)));
    QVERIFY(QFile::copy(mLetterhead, mFolder.filePath(u"batch/mine.docx"_s)));
    QVERIFY(writeFile(batch,
        R"([{"file": "window.doc"}, {"file": "elegant.doc", "style": "elegant"},
            {"file": "member.doc", "style": "simple", "template": "mine.docx"}])"));
    QString output, errors;
    QTextStream outputStream(&output), errorStream(&errors);
    const auto run = [&](const QStringList &arguments) {
        return CommandLine::run(QStringList { u"scrivane"_s, u"--generate"_s } + arguments, word,
            *mStore, outputStream, errorStream);
    };
    const QString given = mFolder.filePath(u"given.doc"_s);
    QCOMPARE(run({ u"--out"_s, given, u"--style"_s, u"blue-sky"_s, u"--template"_s,
                 mFolder.filePath(u"batch/mine.docx"_s) }),
        0);
    QCOMPARE(run({ u"--batch"_s, batch, u"--out-dir"_s, mFolder.filePath(u"out"_s) }), 0);
    const auto hasLetterhead
        = [](const QString &path) { return catdoc(path).contains(u"Halvergate"_s); };
    QVERIFY2(hasLetterhead(given), qPrintable(errors));
    QVERIFY(hasLetterhead(mFolder.filePath(u"out/window.doc"_s)));
    QVERIFY(!hasLetterhead(mFolder.filePath(u"out/elegant.doc"_s)));
    QVERIFY(hasLetterhead(mFolder.filePath(u"out/member.doc"_s)));
    QVERIFY2(errors.contains(u"window.doc: Professional (your template %1) leaves out: company "
                             "name, CC"_s.arg(QFileInfo(mLetterhead).fileName())),
        qPrintable(errors));
}

QTEST_MAIN(StyleTemplatesTest)
#include "tst_styletemplates.moc"
