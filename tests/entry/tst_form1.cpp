#include "Form1.h"
#include "Form1Controls.h"
#include "ScriptedUserInterface.h"
#include "ScriptedWordProcessor.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>
#include <optional>

// Each test starts the window the way the program does: construct, load.
class Form1Test : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        mTemporary.emplace();
        QVERIFY(mTemporary->isValid());
        mStore.emplace(mTemporary->filePath(QStringLiteral("Tarnwick.conf")));
        mUi = ScriptedUserInterface();
        mWord = ScriptedWordProcessor();
    }

    void firstStartShowsTodayEmptyFieldsAndContemporary()
    {
        auto form = start();
        QCOMPARE(controls(*form).dtpEventDate->date(), QDate::currentDate());
        for (const QString &text : texts(*form))
            QCOMPARE(text, QString());
        QCOMPARE(form->selectedStyle(), 1);
        QCOMPARE(form->windowTitle(), QStringLiteral("Scrivane"));
        QVERIFY(mUi.messages.isEmpty());
        QCOMPARE(mStore->GetSetting(QStringLiteral("Option1"), QStringLiteral("absent")),
            QStringLiteral("absent"));
    }

    void everyFieldSurvivesARestart()
    {
        {
            auto form = start();
            showAndActivate(*form);
            controls(*form).dtpEventDate->setDate(QDate(1601, 1, 1));
            type(controls(*form).txtOrgName, "Tarnwick & Sons");
            type(controls(*form).txtTo, "Vozizidi");
            QTest::keyClick(controls(*form).txtTo, Qt::Key_Return);
            type(controls(*form).txtTo, "Second Floor");
            type(controls(*form).txtCC, "Tobin Varden");
            type(controls(*form).txtFrom, "Ewan Varden");
            type(controls(*form).txtRe, "Memo To Cat");
            type(controls(*form).txtMsg, "First line.");
            QTest::keyClick(controls(*form).txtMsg, Qt::Key_Return);
            QTest::keyClick(controls(*form).txtMsg, Qt::Key_Return);
            type(controls(*form).txtMsg, "After an empty line.");
        }
        auto again = start();
        QCOMPARE(controls(*again).dtpEventDate->date(), QDate(1601, 1, 1));
        QCOMPARE(texts(*again),
            QStringList({ QStringLiteral("Tarnwick & Sons"),
                QStringLiteral("Vozizidi\nSecond Floor"), QStringLiteral("Tobin Varden"),
                QStringLiteral("Ewan Varden"), QStringLiteral("Memo To Cat"),
                QStringLiteral("First line.\n\nAfter an empty line.") }));
        QVERIFY(mUi.messages.isEmpty());
    }

    void lastDateOfThePickerSurvivesARestart()
    {
        controls(*start()).dtpEventDate->setDate(QDate(9999, 12, 31));
        QCOMPARE(controls(*start()).dtpEventDate->date(), QDate(9999, 12, 31));
    }

    void clearedFieldComesBackEmptyNotDefault()
    {
        mStore->SaveSetting(QStringLiteral("txtTo"), QStringLiteral("Vozizidi"));
        controls(*start()).txtTo->clear();
        QCOMPARE(mStore->GetSetting(QStringLiteral("txtTo"), QStringLiteral("default")), QString());
        QCOMPARE(controls(*start()).txtTo->toPlainText(), QString());
    }

    void storedStyle_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("reportedLine");
        QTest::newRow("Simple") << QStringLiteral("3") << 3 << 0;
        QTest::newRow("outside the buttons") << QStringLiteral("7") << -1 << 144;
        QTest::newRow("negative") << QStringLiteral("-1") << -1 << 144;
        QTest::newRow("not a number") << QStringLiteral("abc") << 0 << 142;
        QTest::newRow("half rounds to even, down") << QStringLiteral("2.5") << 2 << 0;
        QTest::newRow("half rounds to even, up") << QStringLiteral("3.5") << 4 << 0;
        QTest::newRow("spaces around") << QStringLiteral(" 4 ") << 4 << 0;
    }

    void storedStyle()
    {
        QFETCH(QString, stored);
        QFETCH(int, selected);
        QFETCH(int, reportedLine);
        mStore->SaveSetting(QStringLiteral("Option1"), stored);
        auto form = start();
        QCOMPARE(form->selectedStyle(), selected);
        const QStringList reports = mUi.errorReports();
        if (reportedLine == 0) {
            QVERIFY(reports.isEmpty());
        } else {
            QCOMPARE(reports.size(), 1);
            QVERIFY2(reports[0].contains(
                         QStringLiteral("in Scrivane2021/08/31.Form1.Form_Load at line %1\r\r")
                             .arg(reportedLine)),
                qPrintable(reports[0]));
        }
    }

    void storedTextThatIsNoDateIsReportedAndKeepsTheDesignDate()
    {
        mStore->SaveSetting(
            QStringLiteral("dtpEventDate"), QStringLiteral("the day after tomorrow"));
        mStore->SaveSetting(QStringLiteral("txtTo"), QStringLiteral("still restored"));
        auto form = start();
        QCOMPARE(controls(*form).dtpEventDate->date(), QDate(2010, 1, 17));
        QCOMPARE(mUi.errorReports().size(), 1);
        QVERIFY(mUi.errorReports()[0].contains(QStringLiteral("Form_Load at line 128")));
        QCOMPARE(controls(*form).txtTo->toPlainText(), QStringLiteral("still restored"));
    }

    void dateIsStoredWithAFourDigitYearAndReadInBothForms()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        controls(*start()).dtpEventDate->setDate(QDate(1929, 12, 8));
        QCOMPARE(mStore->GetSetting(QStringLiteral("dtpEventDate")), QStringLiteral("12/8/1929"));
        QCOMPARE(controls(*start()).dtpEventDate->date(), QDate(1929, 12, 8));

        // The locale's own short form, with its two-digit year.
        mStore->SaveSetting(QStringLiteral("dtpEventDate"), QStringLiteral("12/8/26"));
        QCOMPARE(controls(*start()).dtpEventDate->date(), QDate(2026, 12, 8));
    }

    void dateStoredUnderAnotherDateOrderIsReadByTheNewRules()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        controls(*start()).dtpEventDate->setDate(QDate(2026, 12, 8));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        auto form = start();
        // "12/8/2026" is no date in dd.MM.yyyy.
        QCOMPARE(mUi.errorReports().size(), 1);
        QVERIFY(mUi.errorReports()[0].contains(QStringLiteral("at line 128")));
        QCOMPARE(controls(*form).dtpEventDate->date(), QDate(2010, 1, 17));
    }

    void withoutAWordProcessorStartUpExplainsAndEnds()
    {
        mWord.failing = { "create" };
        Form1 form(mUi, *mStore, mWord);
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, form.Form_Load());
        QCOMPARE(mUi.messages.size(), 1);
        QVERIFY(mUi.messages[0].text.startsWith(
            "Error 842001. LibreOffice Writer could not be started.\r\n\r\n"));
        QCOMPARE(mUi.messages[0].caption, QString());
        QCOMPARE(mUi.messages[0].icon, UserInterface::Icon::None);
        QVERIFY(!form.isVisible());
        QCOMPARE(mStore->GetSetting("Option1", "absent"), QString("absent"));
    }

    void closingStoresTheStyleAndEndsTheProgram()
    {
        auto form = start();
        controls(*form).Option1[2]->setChecked(true);
        bool cancel = false;
        form->Form_QueryUnload(cancel, 0);
        QVERIFY(!cancel);
        QCOMPARE(mStore->GetSetting(QStringLiteral("Option1")), QStringLiteral("2"));
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, form->Form_Unload(cancel));
        QCOMPARE(start()->selectedStyle(), 2);
    }

    void aChosenStyleSurvivesEndingFromThePreview()
    {
        {
            auto form = start();
            showAndActivate(*form);
            QTest::mouseClick(controls(*form).Option1[3], Qt::LeftButton);
            // Ending from the preview runs none of this window's closing steps.
        }
        QCOMPARE(mStore->GetSetting(QStringLiteral("Option1")), QStringLiteral("3"));
        QCOMPARE(start()->selectedStyle(), 3);
    }

    void closingWithNoStyleSelectedWritesNothing()
    {
        mStore->SaveSetting(QStringLiteral("Option1"), QStringLiteral("9"));
        auto form = start();
        bool cancel = false;
        form->Form_QueryUnload(cancel, 0);
        QCOMPARE(mStore->GetSetting(QStringLiteral("Option1")), QStringLiteral("9"));
    }

    void sampleThenResetThenRestart()
    {
        {
            auto form = start();
            controls(*form).dtpEventDate->setDate(QDate(2026, 12, 8));
            controls(*form).Option1[4]->setChecked(true);
            controls(*form).PushButton3->click();
            QCOMPARE(form->selectedStyle(), 0);
            QCOMPARE(texts(*form),
                QStringList({ QStringLiteral("Tarnwick"), QStringLiteral("Vozizidi"),
                    QStringLiteral("Tobin Varden"), QStringLiteral("Ewan Varden"),
                    QStringLiteral("Memo To Cat"),
                    QStringLiteral("We are no longer accepting delivery of small birds "
                                   "or rodents. Thank you.") }));
            QCOMPARE(mStore->GetSetting(QStringLiteral("txtMsg")),
                controls(*form).txtMsg->toPlainText());
            controls(*form).PushButton3->click();
            QCOMPARE(mStore->GetSetting(QStringLiteral("txtCC")), QStringLiteral("Tobin Varden"));

            controls(*form).PushButton2->click();
            QCOMPARE(form->selectedStyle(), 0);
            for (const QString &text : texts(*form))
                QCOMPARE(text, QString());
            QCOMPARE(controls(*form).dtpEventDate->date(), QDate(2026, 12, 8));
        }
        for (const char *key : { "txtOrgName", "txtTo", "txtCC", "txtFrom", "txtRe", "txtMsg" })
            QCOMPARE(
                mStore->GetSetting(QString::fromLatin1(key), QStringLiteral("absent")), QString());
        auto again = start();
        QCOMPARE(controls(*again).dtpEventDate->date(), QDate(2026, 12, 8));
        // The style is written when chosen, by the user or by the data buttons.
        QCOMPARE(again->selectedStyle(), 0);
        QVERIFY(mUi.messages.isEmpty());
    }

    // After a data button, Ctrl+Z or the notice's Undo gives back every field and the
    // style, in the store too; typing after the button withdraws the offer, so an undo
    // never drops what was typed since.
    void undoGivesBackWhatADataButtonReplaced_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("undo");
        QTest::addColumn<bool>("typedAfter");
        QTest::newRow("reset, Ctrl+Z") << "PushButton2"
                                       << "Ctrl+Z" << false;
        QTest::newRow("sample, Ctrl+Z") << "PushButton3"
                                        << "Ctrl+Z" << false;
        QTest::newRow("reset, the notice") << "PushButton2"
                                           << "undoButton" << false;
        QTest::newRow("sample, the notice") << "PushButton3"
                                            << "undoButton" << false;
        QTest::newRow("reset, then typing") << "PushButton2"
                                            << "Ctrl+Z" << true;
    }

    void undoGivesBackWhatADataButtonReplaced()
    {
        QFETCH(QString, button);
        QFETCH(QString, undo);
        QFETCH(bool, typedAfter);
        const QStringList typed { "Tarnwick & Sons", "Vozizidi\nSecond Floor", "Tobin Varden",
            "Ewan Varden", "Memo To Cat", "First line.\n\nLast line." };
        auto form = start();
        showAndActivate(*form);
        controls(*form).Option1[3]->click();
        setTexts(*form, typed);
        form->findChild<QPushButton *>(button)->click();
        const QStringList replaced = texts(*form);
        QVERIFY(replaced != typed);
        if (typedAfter) {
            controls(*form).txtTo->setFocus();
            type(controls(*form).txtTo, "x");
        }
        // After typing, the first Ctrl+Z takes back the typing, in the field.
        for (int times = typedAfter ? 2 : 1; undo == QLatin1String("Ctrl+Z") && times > 0; --times)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        if (undo != QLatin1String("Ctrl+Z"))
            form->findChild<QPushButton *>(undo)->click();
        form->saveTyping();
        mStore->flush();

        const QStringList expected = typedAfter ? replaced : typed;
        QCOMPARE(texts(*form), expected);
        QCOMPARE(form->selectedStyle(), typedAfter ? 0 : 3);
        const char *keys[] = { "txtOrgName", "txtTo", "txtCC", "txtFrom", "txtRe", "txtMsg" };
        for (int field = 0; field < 6; ++field)
            QCOMPARE(mStore->GetSetting(QString::fromLatin1(keys[field])), expected[field]);
        QCOMPARE(mStore->GetSetting("Option1"), typedAfter ? "0" : "3");
        QVERIFY(!form->findChild<QWidget *>("undoNotice")->isVisible());
        QVERIFY(mUi.messages.isEmpty());
    }

    // A one-line box says how many of its lines it does not show.
    void aOneLineBoxSaysTheLinesItHides_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mark");
        QTest::newRow("one line") << "Vozizidi" << QString();
        QTest::newRow("two lines") << "Vozizidi\nSecond Floor"
                                   << "+1 line";
        QTest::newRow("four lines") << "A\nB\nC\nD"
                                    << "+3 lines";
    }

    void aOneLineBoxSaysTheLinesItHides()
    {
        QFETCH(QString, text);
        QFETCH(QString, mark);
        auto form = start();
        form->show();
        // As the data buttons and the restore set it, then as typed.
        controls(*form).PushButton3->click();
        controls(*form).txtTo->setPlainText(text);
        const auto *label = form->findChild<QLabel *>("txtToHiddenLines");
        QCOMPARE(label->isVisible(), !mark.isEmpty());
        if (!mark.isEmpty())
            QCOMPARE(label->text(), mark);
        // The pointer resting on the box shows the whole text when lines are hidden.
        QWidget *viewport = controls(*form).txtTo->viewport();
        QHelpEvent rest(QEvent::ToolTip, QPoint(5, 5), viewport->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(viewport, &rest);
        QCOMPARE(controls(*form).txtTo->toolTip(), mark.isEmpty() ? QString() : text);
        controls(*form).PushButton2->click();
        QVERIFY(!label->isVisible());
    }

    // Ctrl+Enter starts the run from any field, without a line break in the field.
    void ctrlEnterStartsTheRunFromAnyField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::newRow("To, Return") << "txtTo" << int(Qt::Key_Return);
        QTest::newRow("message, Enter") << "txtMsg" << int(Qt::Key_Enter);
        QTest::newRow("company, Return") << "txtOrgName" << int(Qt::Key_Return);
        QTest::newRow("date, Return") << "dtpEventDate" << int(Qt::Key_Return);
    }

    void ctrlEnterStartsTheRunFromAnyField()
    {
        QFETCH(QString, field);
        QFETCH(int, key);
        auto form = start();
        showAndActivate(*form);
        controls(*form).PushButton3->click();
        const QStringList before = texts(*form);
        auto *control = form->findChild<QWidget *>(field);
        control->setFocus();
        QTest::keyClick(control, Qt::Key(key), Qt::ControlModifier);
        QVERIFY(mWord.calls.contains("create"));
        QCOMPARE(texts(*form), before);
    }

    void styleNoteNamesTypedFieldsTheStyleLeavesOut()
    {
        auto form = start();
        const Form1Controls controls(*form);
        controls.PushButton3->click();
        QCOMPARE(controls.styleNote->toolTip(), QString());
        controls.Option1[4]->setChecked(true);
        QCOMPARE(
            controls.styleNote->toolTip(), QStringLiteral("Blue Sky leaves out: company name, CC"));
        controls.txtCC->clear();
        QCOMPARE(
            controls.styleNote->toolTip(), QStringLiteral("Blue Sky leaves out: company name"));
        controls.Option1[2]->setChecked(true);
        QCOMPARE(controls.styleNote->toolTip(), QStringLiteral("Elegant leaves out: company name"));
        controls.txtOrgName->setText(QStringLiteral("  "));
        QCOMPARE(controls.styleNote->toolTip(), QString());
    }

    void failingSettingsAreReportedByTheButtonsStep()
    {
        auto form = start();
        // From here on the settings file cannot be written.
        QVERIFY(QFile::remove(mStore->fileName()) || !QFile::exists(mStore->fileName()));
        QVERIFY(QDir().mkpath(mStore->fileName()));
        controls(*form).PushButton3->click();
        const QStringList reports = mUi.errorReports();
        QCOMPARE(reports.size(), 7);
        for (int i = 0; i < 7; ++i)
            QVERIFY2(reports[i].contains(
                         QStringLiteral("Form1.PushButton3_Click at line %1").arg(100 + 2 * i)),
                qPrintable(reports[i]));
        // The fields still show the example: nothing the user sees is lost.
        QCOMPARE(controls(*form).txtRe->toPlainText(), QStringLiteral("Memo To Cat"));
    }

    void typingIntoAnUnwritableStoreWarnsOnce()
    {
        auto form = start();
        showAndActivate(*form);
        QVERIFY(QDir().mkpath(mStore->fileName() + QStringLiteral(".d")));
        QFile::remove(mStore->fileName());
        QVERIFY(QDir().rename(mStore->fileName() + QStringLiteral(".d"), mStore->fileName()));
        type(controls(*form).txtTo, "abc");
        // Typing is written on the store's own thread, which tells the window.
        QTRY_COMPARE(mUi.messages.size(), 1);
        QTest::qWait(50);
        QCOMPARE(mUi.messages.size(), 1);
        QVERIFY(mUi.errorReports().isEmpty());
        QVERIFY(mUi.messages[0].text.contains(QStringLiteral("cannot be remembered")));
        QCOMPARE(controls(*form).txtTo->toPlainText(), QStringLiteral("abc"));
    }

    void enterBreaksLinesOnlyInMultiLineFields()
    {
        auto form = start();
        const Form1Controls controls(*form);
        showAndActivate(*form);
        for (QPlainTextEdit *field :
            { controls.txtTo, controls.txtFrom, controls.txtRe, controls.txtMsg }) {
            field->setFocus();
            type(field, "a");
            QTest::keyClick(field, Qt::Key_Return);
            type(field, "b");
            QCOMPARE(field->toPlainText(), QStringLiteral("a\nb"));
        }
        for (QLineEdit *field : { controls.txtOrgName, controls.txtCC }) {
            field->setFocus();
            type(field, "a");
            QTest::keyClick(field, Qt::Key_Return);
            type(field, "b");
            QCOMPARE(field->text(), QStringLiteral("ab"));
        }
    }

    void tabFollowsTheDesignedOrder()
    {
        mStore->SaveSetting(QStringLiteral("Option1"), QStringLiteral("3"));
        auto form = start();
        const Form1Controls controls(*form);
        showAndActivate(*form);
        QCOMPARE(QApplication::focusWidget(), controls.dtpEventDate);
        const QList<QWidget *> expected
            = { controls.txtOrgName, controls.txtTo, controls.txtCC, controls.txtFrom,
                  controls.txtRe, controls.txtMsg, controls.Option1[3], controls.PushButton6,
                  controls.PushButton2, controls.PushButton3, controls.dtpEventDate };
        for (QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void arrowsMoveWithinTheStyleGroup()
    {
        auto form = start();
        const Form1Controls controls(*form);
        showAndActivate(*form);
        controls.Option1[1]->setFocus();
        QTest::keyClick(controls.Option1[1], Qt::Key_Right);
        QCOMPARE(form->selectedStyle(), 2);
        QCOMPARE(QApplication::focusWidget(), controls.Option1[2]);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), controls.PushButton6);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), controls.Option1[2]);
    }

    void arrowsStillMoveWithinTheDate()
    {
        auto form = start();
        const Form1Controls controls(*form);
        showAndActivate(*form);
        controls.dtpEventDate->setDate(QDate(2026, 12, 8));
        controls.dtpEventDate->setFocus();
        controls.dtpEventDate->setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), controls.dtpEventDate);
        QCOMPARE(controls.dtpEventDate->currentSection(), QDateTimeEdit::MonthSection);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(controls.dtpEventDate->date(), QDate(2026, 11, 8));
    }

    void focusSelectsTheWholeText()
    {
        mStore->SaveSetting(
            QStringLiteral("txtMsg"), QStringLiteral("old message\nover two lines"));
        mStore->SaveSetting(QStringLiteral("txtCC"), QStringLiteral("old copy"));
        auto form = start();
        const Form1Controls controls(*form);
        showAndActivate(*form);
        controls.txtCC->setFocus();
        QCOMPARE(controls.txtCC->selectedText(), QStringLiteral("old copy"));
        controls.txtMsg->setFocus();
        QTest::keyClicks(controls.txtMsg, QStringLiteral("new"));
        QCOMPARE(controls.txtMsg->toPlainText(), QStringLiteral("new"));
    }

    void aLongParagraphIsEditedAsOneAndStoredExactly()
    {
        const QString stored = QString(10000, 'x') + "\n\n" + QString(5000, 'y');
        mStore->SaveSetting("txtMsg", stored);
        auto form = start();
        showAndActivate(*form);
        // Laid out in pieces, but nothing written back and nothing changed.
        QVERIFY(controls(*form).txtMsg->document()->blockCount() > 3);
        QCOMPARE(mStore->GetSetting("txtMsg"), stored);

        // Enter within the second piece of the first paragraph (the first join is at 4096).
        QTextCursor cursor = controls(*form).txtMsg->textCursor();
        cursor.setPosition(5001);
        controls(*form).txtMsg->setTextCursor(cursor);
        QTest::keyClick(controls(*form).txtMsg, Qt::Key_Return);
        // Deleting the first join removes nothing of the text; so does deleting it twice.
        cursor.setPosition(4096);
        controls(*form).txtMsg->setTextCursor(cursor);
        QTest::keyClick(controls(*form).txtMsg, Qt::Key_Delete);
        QTest::keyClick(controls(*form).txtMsg, Qt::Key_Z);
        QTest::keyClick(controls(*form).txtMsg, Qt::Key_Backspace);
        QTest::keyClick(controls(*form).txtMsg, Qt::Key_End, Qt::ControlModifier);
        type(controls(*form).txtMsg, "z");
        form.reset();
        const QString expected
            = QString(5000, 'x') + "\n" + QString(5000, 'x') + "\n\n" + QString(5000, 'y') + "z";
        const QString got = mStore->GetSetting("txtMsg");
        QCOMPARE(mStore->GetSetting("txtMsg"), expected);
        QCOMPARE(SettingsStore(mStore->fileName()).GetSetting("txtMsg"), expected);
    }

    void oneLineFieldsHoldAnyLength()
    {
        const QString company = QString(40000, 'c');
        mStore->SaveSetting("txtOrgName", company);
        mStore->SaveSetting("txtCC", company);
        auto form = start();
        showAndActivate(*form);
        QCOMPARE(controls(*form).txtOrgName->text(), company);
        QCOMPARE(controls(*form).txtCC->text(), company);
        controls(*form).txtCC->end(false);
        type(controls(*form).txtCC, "d");
        form.reset();
        QCOMPARE(mStore->GetSetting("txtOrgName"), company);
        QCOMPARE(mStore->GetSetting("txtCC"), company + "d");
    }

    void anUnreadableStoreIsAWarningAtStart()
    {
        QVERIFY(QDir().mkpath(mStore->fileName()));
        auto form = start();
        QCOMPARE(mUi.messages.size(), 1);
        QVERIFY2(mUi.messages[0].text.contains("cannot be read (it is a folder)"),
            qPrintable(mUi.messages[0].text));
        QVERIFY(mUi.errorReports().isEmpty());
    }

    void everyControlLiesInsideTheWindow()
    {
        auto form = start();
        QCOMPARE(form->size(), QSize(616, 423));
        QCOMPARE(controls(*form).Frame1->geometry().bottom() + 1, 6225 / 15);
        for (QWidget *child : form->findChildren<QWidget *>()) {
            if (!child->isWindow() && child->parentWidget() == form.get())
                QVERIFY2(form->rect().contains(child->geometry()), qPrintable(child->objectName()));
        }
        for (QLabel *label : controls(*form).Label4)
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(form->minimumSize(), form->maximumSize());
    }

private:
    std::unique_ptr<Form1> start()
    {
        auto form = std::make_unique<Form1>(mUi, *mStore, mWord);
        form->Form_Load();
        return form;
    }

    static QStringList texts(const Form1 &form)
    {
        return { controls(form).txtOrgName->text(), controls(form).txtTo->toPlainText(),
            controls(form).txtCC->text(), controls(form).txtFrom->toPlainText(),
            controls(form).txtRe->toPlainText(), controls(form).txtMsg->toPlainText() };
    }

    // As typed: each field's change handler stores it.
    static void setTexts(Form1 &form, const QStringList &texts)
    {
        controls(form).txtOrgName->setText(texts[0]);
        controls(form).txtTo->setPlainText(texts[1]);
        controls(form).txtCC->setText(texts[2]);
        controls(form).txtFrom->setPlainText(texts[3]);
        controls(form).txtRe->setPlainText(texts[4]);
        controls(form).txtMsg->setPlainText(texts[5]);
    }

    static void type(QWidget *field, const char *text)
    {
        QTest::keyClicks(field, QString::fromUtf8(text));
    }

    static void showAndActivate(QWidget &window)
    {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

    std::optional<QTemporaryDir> mTemporary;
    std::optional<SettingsStore> mStore;
    ScriptedUserInterface mUi;
    ScriptedWordProcessor mWord;
};

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
