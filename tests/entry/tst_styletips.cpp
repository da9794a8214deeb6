#include "Form1.h"
#include "Form1Controls.h"
#include "LibreOfficeProcessor.h"
#include "MemoStyle.h"
#include "ScriptedUserInterface.h"
#include "SettingsStore.h"
#include "StylePictures.h"

#include "TestOffice.h"

#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <csignal>
#include <optional>

namespace {
// Office processes of this test's own profiles.
QList<qint64> ownOfficeProcesses()
{
    return TestOffice::officesWithProfilesIn(qgetenv("XDG_CACHE_HOME"));
}

// Rests the pointer on the button, as far as the tooltip is concerned.
void hover(QRadioButton *button)
{
    button->setFocus();
    const QPoint at = button->rect().center();
    QHelpEvent event(QEvent::ToolTip, at, button->mapToGlobal(at));
    QApplication::sendEvent(button, &event);
}

// The picture the tooltip shows; null while it shows words.
QImage tooltipPicture()
{
    static const QRegularExpression data(QStringLiteral("base64,([^\"]+)\""));
    const QRegularExpressionMatch match = data.match(QToolTip::text());
    if (!match.hasMatch())
        return {};
    return QImage::fromData(QByteArray::fromBase64(match.captured(1).toLatin1()), "PNG");
}

QImage hoverUntilPicture(QRadioButton *button)
{
    hover(button);
    const bool drawn = QTest::qWaitFor([] { return !tooltipPicture().isNull(); }, 60000);
    return drawn ? tooltipPicture() : QImage();
}

QStringList picturesFolders()
{
    return QDir(
        qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/Tarnwick/Scrivane/office"))
        .entryList({ QStringLiteral("pictures-*") }, QDir::Dirs);
}

// The window shown with the sample memo, its spare office starting.
struct SampleWindow
{
    SampleWindow(UserInterface &ui, SettingsStore &store)
        : form(ui, store, word)
        , controls(form)
    {
        form.Form_Load();
        form.show();
        active = QTest::qWaitForWindowActive(&form);
        controls.PushButton3->click();
    }
    LibreOfficeProcessor word;
    Form1 form;
    Form1Controls controls;
    bool active = false;
};
} // namespace

// The style buttons' tooltips, drawn by the real office.
class StyleTipsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mTemporary.emplace();
        mStore.emplace(mTemporary->filePath(QStringLiteral("Tarnwick.conf")));
        mUi = ScriptedUserInterface();
    }

    void picturesFollowStyleAndTyping_data()
    {
        QTest::addColumn<int>("style");
        for (size_t style = 0; style < kMemoStyles.size(); ++style)
            QTest::newRow(kMemoStyles[style].caption) << int(style);
    }

    void picturesFollowStyleAndTyping()
    {
        QFETCH(int, style);
        SampleWindow window(mUi, *mStore);
        QVERIFY(window.active);
        const Form1Controls &controls = window.controls;

        hover(controls.Option1[size_t(style)]);
        QCOMPARE(QToolTip::text(),
            QStringLiteral("Drawing the memo in %1...").arg(kMemoStyles[size_t(style)].caption));
        const QImage first = hoverUntilPicture(controls.Option1[size_t(style)]);
        QVERIFY(!first.isNull());
        QVERIFY(first.width() >= 150 && first.height() >= 190);
        const QImage other = hoverUntilPicture(controls.Option1[size_t(style + 1) % 5]);
        QVERIFY(!other.isNull());
        QVERIFY(other != first);

        controls.txtTo->setPlainText(QStringLiteral("Marguerite Oduya, Head of Procurement"));
        const QImage edited = hoverUntilPicture(controls.Option1[size_t(style)]);
        QVERIFY(!edited.isNull());
        QVERIFY(edited != first);

        // A megabyte message, of which the picture shows the first page.
        controls.txtMsg->setPlainText(QStringLiteral("Long memo. ").repeated(100000));
        QVERIFY(!hoverUntilPicture(controls.Option1[size_t(style)]).isNull());
        QVERIFY(mUi.messages.isEmpty());
    }

    void killedOfficeGivesWordsThenPicture()
    {
        SampleWindow window(mUi, *mStore);
        QVERIFY(window.active);
        const Form1Controls &controls = window.controls;
        QTRY_VERIFY_WITH_TIMEOUT(!ownOfficeProcesses().isEmpty(), 30000);
        for (const qint64 pid : ownOfficeProcesses())
            ::kill(pid_t(pid), SIGKILL);

        hover(controls.Option1[2]);
        QTRY_COMPARE_WITH_TIMEOUT(QToolTip::text(), StylePictures::description(2), 30000);
        QVERIFY(mUi.messages.isEmpty());
        // The spare is replaced; a later hover draws.
        QImage picture;
        for (int attempt = 0; attempt < 20 && picture.isNull(); ++attempt) {
            QTest::qWait(500);
            picture = hoverUntilPicture(controls.Option1[2]);
        }
        QVERIFY(!picture.isNull());
        QVERIFY(mUi.messages.isEmpty());
    }

    void closingWhileDrawingLeavesNothing()
    {
        const QStringList temporary
            = QDir(qEnvironmentVariable("TEMP")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        {
            SampleWindow window(mUi, *mStore);
            QVERIFY(window.active);
            hover(window.controls.Option1[4]);
            QTest::qWait(50);
        }
        QCOMPARE(ownOfficeProcesses(), QList<qint64>());
        QCOMPARE(picturesFolders(), QStringList());
        QCOMPARE(
            QDir(qEnvironmentVariable("TEMP")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            temporary);
    }

private:
    std::optional<QTemporaryDir> mTemporary;
    std::optional<SettingsStore> mStore;
    ScriptedUserInterface mUi;
};

QTEST_MAIN(StyleTipsTest)
#include "tst_styletips.moc"
