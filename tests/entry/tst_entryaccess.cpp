#include "AccessibleTree.h"
#include "Contrast.h"
#include "Form1.h"
#include "Form1Controls.h"
#include "ScriptedUserInterface.h"
#include "ScriptedWordProcessor.h"
#include "SettingsStore.h"
#include "Skin.h"

#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

// The memo window through a screen reader's eyes and with the keyboard alone.
class EntryAccessTest : public QObject
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
        mForm = std::make_unique<Form1>(mUi, *mStore, mWord);
        mForm->Form_Load();
        mForm->show();
        mForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mForm.get()));
    }

    void cleanup()
    {
        mForm.reset();
        QVERIFY(mUi.messages.isEmpty());
    }

    void eachFieldIsNamedAndLabelledByItsCaption_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("date") << "dtpEventDate"
                              << "Date"
                              << "Date";
        QTest::newRow("company") << "txtOrgName"
                                 << "Company name"
                                 << "Company Name";
        QTest::newRow("to") << "txtTo"
                            << "To"
                            << "To:";
        QTest::newRow("cc") << "txtCC"
                            << "CC"
                            << "CC:";
        QTest::newRow("from") << "txtFrom"
                              << "From"
                              << "From:";
        QTest::newRow("re") << "txtRe"
                            << "Re (subject)"
                            << "Re: (Subject)";
        QTest::newRow("message") << "txtMsg"
                                 << "Message"
                                 << "Message";
    }

    void eachFieldIsNamedAndLabelledByItsCaption()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QAccessibleInterface *field
            = QAccessible::queryAccessibleInterface(mForm->findChild<QWidget *>(control));
        QVERIFY(field);
        QCOMPARE(field->text(QAccessible::Name), name);
        // Its caption, then its group.
        QStringList labels;
        for (const auto &[label, relation] : field->relations(QAccessible::Label))
            labels << label->text(QAccessible::Name);
        QCOMPARE(labels, QStringList({ caption, QStringLiteral("Memo details") }));
    }

    void theDateIsReadAsTheMemoPrintsIt()
    {
        const Form1Controls controls(*mForm);
        controls.dtpEventDate->setDate(QDate(2026, 12, 8));
        QAccessibleInterface *date = QAccessible::queryAccessibleInterface(controls.dtpEventDate);
        QCOMPARE(date->text(QAccessible::Value), QStringLiteral("08-Dec-2026"));
        QCOMPARE(
            date->text(QAccessible::Description), QStringLiteral("Tuesday, December 8th, 2026"));
    }

    void styleButtonsSayWhatTheyLeaveOut_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("description");
        QTest::newRow("Professional")
            << 0
            << "A formal memo under the company's name, with ruled headings. Prints every field.";
        QTest::newRow("Blue Sky") << 4
                                  << "A memo with a blue sky banner across the top. Leaves out: "
                                     "company name, CC.";
    }

    void styleButtonsSayWhatTheyLeaveOut()
    {
        QFETCH(int, style);
        QFETCH(QString, description);
        QAccessibleInterface *button
            = QAccessible::queryAccessibleInterface(Form1Controls(*mForm).Option1[size_t(style)]);
        QCOMPARE(button->text(QAccessible::Description), description);
    }

    void everyFocusableControlIsNamed()
    {
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(mForm.get());
        const QStringList unnamed = unnamedFocusable(window);
        QVERIFY2(unnamed.isEmpty(),
            qPrintable(unnamed.join(u',') + QStringLiteral("\n") + accessibleTree(window)));
        if (qEnvironmentVariableIsSet("SCRIVANE_PRINT_ACCESSIBLE_TREE"))
            qInfo().noquote() << accessibleTree(window);
    }

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("company");
        QTest::newRow("Load Sample/Example Data") << "PushButton3"
                                                  << "Tarnwick";
        QTest::newRow("Clear/Reset Data") << "PushButton2"
                                          << "";
    }

    void enterPressesTheFocusedButton()
    {
        QFETCH(QString, button);
        QFETCH(QString, company);
        const Form1Controls controls(*mForm);
        controls.txtOrgName->setText(QStringLiteral("typed"));
        auto *pressed = mForm->findChild<QPushButton *>(button);
        pressed->setFocus(Qt::TabFocusReason);
        QTest::keyClick(pressed, Qt::Key_Return);
        QCOMPARE(controls.txtOrgName->text(), company);
        // The keypad's Enter too, once more with the same result.
        controls.txtOrgName->setText(QStringLiteral("typed"));
        pressed->setFocus(Qt::TabFocusReason);
        QTest::keyClick(pressed, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(controls.txtOrgName->text(), company);
    }

    void aMultiLineFieldDropsItsSelectionWhenFocusLeaves()
    {
        const Form1Controls controls(*mForm);
        controls.txtMsg->setPlainText(QStringLiteral("line\n").repeated(40));
        controls.txtTo->setPlainText(QStringLiteral("Vozizidi"));
        controls.txtMsg->setFocus(Qt::TabFocusReason);
        QVERIFY(controls.txtMsg->textCursor().hasSelection());
        const int shown = controls.txtMsg->verticalScrollBar()->value();
        QTest::keyClick(controls.txtMsg, Qt::Key_Tab);
        QVERIFY(!controls.txtMsg->textCursor().hasSelection());
        QCOMPARE(controls.txtMsg->verticalScrollBar()->value(), shown);
        // Coming back selects it all again, so that typing replaces it.
        controls.txtTo->setFocus(Qt::BacktabFocusReason);
        QCOMPARE(controls.txtTo->textCursor().selectedText(), QStringLiteral("Vozizidi"));
    }

    void theF1PictureStaysUntilDismissed_data()
    {
        QTest::addColumn<QString>("dismissal");
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("a click") << "click";
        QTest::newRow("a change of focus") << "Tab";
    }

    void theF1PictureStaysUntilDismissed()
    {
        QFETCH(QString, dismissal);
        QRadioButton *blueSky = Form1Controls(*mForm).Option1[4];
        blueSky->setChecked(true);
        blueSky->setFocus(Qt::TabFocusReason);
        QTest::keyPress(blueSky, Qt::Key_F1);
        QTest::keyRelease(blueSky, Qt::Key_F1);
        QTest::qWait(600);
        auto *picture = mForm->findChild<QWidget *>(QStringLiteral("stylePicture"));
        QVERIFY(picture && picture->isVisible());
        QAccessibleInterface *tip = QAccessible::queryAccessibleInterface(picture);
        QCOMPARE(tip->role(), QAccessible::ToolTip);
        QCOMPARE(tip->text(QAccessible::Name),
            QStringLiteral("Blue Sky: A memo with a blue sky banner across the top. Leaves "
                           "out: company name, CC."));
        QTest::keyClick(blueSky, Qt::Key_Shift);
        QVERIFY(picture->isVisible());

        if (dismissal == QLatin1String("Escape"))
            QTest::keyClick(blueSky, Qt::Key_Escape);
        else if (dismissal == QLatin1String("click"))
            QTest::mouseClick(Form1Controls(*mForm).txtCC, Qt::LeftButton);
        else
            QTest::keyClick(blueSky, Qt::Key_Tab);
        QVERIFY(!picture->isVisible());
        // Escape went to the picture alone.
        QCOMPARE(Form1Controls(*mForm).Option1[4]->isChecked(), true);
    }

    void focusStandsOutAtEveryTabStop_data()
    {
        QTest::addColumn<bool>("skinned");
        QTest::addColumn<QString>("control");
        for (const bool skinned : { false, true }) {
            for (const char *control : { "dtpEventDate", "txtOrgName", "txtTo", "txtCC", "txtFrom",
                     "txtRe", "txtMsg", "Option1_1", "PushButton6", "PushButton2", "PushButton3" })
                QTest::addRow("%s %s", skinned ? "skinned" : "plain", control)
                    << skinned << QString::fromLatin1(control);
        }
    }

    // The look of a focused control differs from its unfocused look by 3:1 or more over
    // at least as many pixels as a line around it has.
    void focusStandsOutAtEveryTabStop()
    {
        QFETCH(bool, skinned);
        QFETCH(QString, control);
        if (skinned)
            ApplySkin(*mForm, QStringLiteral(SCRIVANE_BUILD_DIR));
        QCOMPARE(!mForm->styleSheet().isEmpty(), skinned);
        auto *focused = mForm->findChild<QWidget *>(control);
        focused->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), focused);
        const QImage withFocus = mForm->grab().toImage();
        mForm->setFocus(Qt::OtherFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), mForm.get());
        const QImage without = mForm->grab().toImage();
        const QRect place(focused->mapTo(mForm.get(), QPoint(0, 0)), focused->size());
        const int changed = pixelsChangedBy(without, withFocus, place.adjusted(-3, -3, 3, 3), 3.0);
        QVERIFY2(changed >= 2 * (place.width() + place.height()),
            qPrintable(QStringLiteral("%1 pixels changed").arg(changed)));
    }

private:
    std::optional<QTemporaryDir> mTemporary;
    std::optional<SettingsStore> mStore;
    ScriptedUserInterface mUi;
    ScriptedWordProcessor mWord;
    std::unique_ptr<Form1> mForm;
};

QTEST_MAIN(EntryAccessTest)
#include "tst_entryaccess.moc"
