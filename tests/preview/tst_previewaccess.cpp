#include "AccessibleTree.h"
#include "Contrast.h"
#include "Form2.h"
#include "PageComposition.h"
#include "PictureBox.h"
#include "ScriptedUserInterface.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include <memory>

// The preview through a screen reader's eyes and with the keyboard alone.
class PreviewAccessTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mUi = std::make_unique<ScriptedUserInterface>();
        mMainWindow = std::make_unique<QWidget>();
        mForm = std::make_unique<Form2>(*mUi, mMainWindow.get());
        mPage = mForm->findChild<PictureBox *>(QStringLiteral("Picture1"));
        QVERIFY(mPage);
    }

    void cleanup()
    {
        mForm.reset();
        QVERIFY2(mUi->messages.isEmpty(), qPrintable(mUi->messages.value(0).text));
    }

    void theNamedPageHasTheFocusWhenThePreviewOpens()
    {
        open(QStringLiteral("BlueSkyMemo.dot"), 2);
        QTRY_COMPARE(QApplication::focusWidget(), mPage);
        QCOMPARE(name(mPage), QStringLiteral("Memo, page 1 of 2"));
        QCOMPARE(description(mPage),
            QStringLiteral("Blue Sky style, zoom 100 %. Leaves out: company name, CC."));
        QCOMPARE(QAccessible::queryAccessibleInterface(mPage)->role(), QAccessible::Graphic);

        // Back, a memo of another style, and the page has the focus again.
        button("PushButton6")->setFocus();
        QTest::keyClick(button("PushButton8"), Qt::Key_Escape);
        QVERIFY(!mForm->isVisible());
        open(QStringLiteral("SimpleMemo.dot"), 1);
        QTRY_COMPARE(QApplication::focusWidget(), mPage);
        QCOMPARE(name(mPage), QStringLiteral("Memo, page 1 of 1"));
        QCOMPARE(
            description(mPage), QStringLiteral("Simple style, zoom 100 %. Prints every field."));
    }

    void thePageSaysWhereTheViewIs()
    {
        open(QStringLiteral("ContemporaryMemo.dot"), 3);
        QTest::keyClick(mForm.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(description(mPage),
            QStringLiteral("Contemporary style, zoom 125 %. Leaves out: company name."));
        QCOMPARE(name(mPage), QStringLiteral("Memo, page 1 of 3"));
        QScrollBar *down = mForm->findChild<QScrollBar *>(QStringLiteral("VScroll1"));
        down->setValue(down->maximum() / 2);
        QCOMPARE(name(mPage), QStringLiteral("Memo, page 2 of 3"));
        QTest::keyClick(mPage, Qt::Key_End);
        QCOMPARE(name(mPage), QStringLiteral("Memo, page 3 of 3"));
        // Chosen again in the list, the page comes at zoom 1.
        auto *list = mForm->findChild<QTreeWidget *>(QStringLiteral("ListView1"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
            list->visualItemRect(list->topLevelItem(0)).center());
        QCOMPARE(description(mPage),
            QStringLiteral("Contemporary style, zoom 100 %. Leaves out: company name."));
        QCOMPARE(name(mPage), QStringLiteral("Memo, page 1 of 3"));
    }

    void everyFocusableControlIsNamed()
    {
        open(QStringLiteral("ProfessionalMemo.dot"), 1);
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(mForm.get());
        const QStringList unnamed = unnamedFocusable(window);
        QVERIFY2(unnamed.isEmpty(),
            qPrintable(unnamed.join(u',') + QStringLiteral("\n") + accessibleTree(window)));
        if (qEnvironmentVariableIsSet("SCRIVANE_PRINT_ACCESSIBLE_TREE"))
            qInfo().noquote() << accessibleTree(window);
    }

    void enterPressesTheFocusedButton()
    {
        open(QStringLiteral("ProfessionalMemo.dot"), 1);
        button("PushButton1")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button("PushButton1"), Qt::Key_Return);
        QVERIFY2(description(mPage).contains(QLatin1String("zoom 125 %")),
            qPrintable(description(mPage)));
        button("PushButton8")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button("PushButton8"), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!mForm->isVisible());
        QVERIFY(mMainWindow->isVisible());
    }

    void theMenuKeyOpensThePageMenuInsideTheViewport()
    {
        open(QStringLiteral("ProfessionalMemo.dot"), 4);
        for (int step = 0; step < 11; ++step)
            QTest::keyClick(mForm.get(), Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(description(mPage).contains(QLatin1String("zoom 375 %")));
        QWidget *viewport = mPage->parentWidget();
        // What the desktop sends for the key: a request at the page's middle, far away,
        // and the key itself.
        const QPoint middle = mPage->rect().center();
        QContextMenuEvent request(QContextMenuEvent::Keyboard, middle, mPage->mapToGlobal(middle));
        QApplication::sendEvent(mPage, &request);
        QTest::keyClick(mPage, Qt::Key_Menu);
        QCOMPARE(mUi->menuPlaces.size(), 1);
        QVERIFY(QRect(viewport->mapToGlobal(QPoint(0, 0)), viewport->size())
                    .contains(mUi->menuPlaces.first()));
    }

    void theSelectedPageStandsOutFromItsRow()
    {
        open(QStringLiteral("ProfessionalMemo.dot"), 1);
        auto *list = mForm->findChild<QTreeWidget *>(QStringLiteral("ListView1"));
        const QRect row = list->visualItemRect(list->topLevelItem(0));
        const QColor ground
            = list->viewport()->grab().toImage().pixelColor(row.right() - 2, row.center().y());
        const double ratio = contrast(ground, list->palette().color(QPalette::HighlightedText));
        QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
    }

    void focusStandsOutAtEveryTabStop_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("apartFrom");
        for (const char *control : { "HScroll1", "VScroll1", "Picture2", "PushButton1",
                 "PushButton2", "PushButton6", "PushButton8", "ListView1" })
            QTest::newRow(control) << QString::fromLatin1(control) << QString();
        // The page, far larger than its viewport, looks focused otherwise than it.
        QTest::newRow("Picture1") << "Picture1"
                                  << "Picture2";
    }

    // The look of a focused control differs from its unfocused look by 3:1 or more over
    // at least as many pixels as a line around it has.
    void focusStandsOutAtEveryTabStop()
    {
        QFETCH(QString, control);
        QFETCH(QString, apartFrom);
        open(QStringLiteral("ProfessionalMemo.dot"), 2);
        auto *focused = mForm->findChild<QWidget *>(control);
        const auto look = [this](QWidget *with) {
            with->setFocus(Qt::TabFocusReason);
            [&] { QTRY_COMPARE(QApplication::focusWidget(), with); }();
            return mForm->grab().toImage();
        };
        const QImage withFocus = look(focused);
        const QImage without
            = look(apartFrom.isEmpty() ? mForm.get() : mForm->findChild<QWidget *>(apartFrom));
        // Of the page, only the part the viewport shows.
        const QWidget *shown
            = control == QLatin1String("Picture1") ? focused->parentWidget() : focused;
        const QRect place(shown->mapTo(mForm.get(), QPoint(0, 0)), shown->size());
        const int changed = pixelsChangedBy(without, withFocus, place.adjusted(-3, -3, 3, 3), 3.0);
        QVERIFY2(changed >= 2 * (place.width() + place.height()),
            qPrintable(QStringLiteral("%1 pixels changed").arg(changed)));
    }

private:
    // What the generation run does: a page list entry named by the style's template,
    // the pages' picture, show.
    void open(const QString &caption, int pages)
    {
        QImage page(816, 1056, QImage::Format_RGB32);
        page.fill(Qt::white);
        const QImage picture = composedPages(QList<QImage>(pages, page), 1);
        mForm->clearPages();
        mForm->addPage(caption);
        mForm->setPagePicture(0, picture);
        mForm->setDisplayPicture(picture);
        mForm->show();
        mForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mForm.get()));
    }

    QPushButton *button(const char *name) const
    {
        return mForm->findChild<QPushButton *>(QLatin1String(name));
    }

    static QString name(QObject *object)
    {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    }

    static QString description(QObject *object)
    {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Description);
    }

    std::unique_ptr<ScriptedUserInterface> mUi;
    std::unique_ptr<QWidget> mMainWindow;
    std::unique_ptr<Form2> mForm;
    PictureBox *mPage = nullptr;
};

QTEST_MAIN(PreviewAccessTest)
#include "tst_previewaccess.moc"
