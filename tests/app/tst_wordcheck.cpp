#include "Failure.h"
#include "IdleSession.h"
#include "LibreOfficeProcessor.h"
#include "ScriptedUserInterface.h"
#include "TestOffice.h"
#include "WordCheck.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kWordMissing = QStringLiteral(
    "Error 842001. LibreOffice Writer could not be started.\r\n\r\n"
    "1. Please make sure LibreOffice Writer is installed on this computer (Debian package "
    "libreoffice-writer).\r\n\r\n"
    "2. Please open LibreOffice Writer normally and make sure a blank document opens immediately "
    "without any interrupting window (such as a document recovery or first-start window).\r\n\r\n"
    "3. Scrivane starts LibreOffice Writer hidden, in a profile of its own: a LibreOffice you have "
    "open is neither used nor closed.\r\n\r\n"
    "4. If LibreOffice is installed in another folder, set the environment variable "
    "SCRIVANE_OFFICE_PROGRAM to the folder that holds soffice.bin.");

// A word processor that starts but cannot quit.
class StubbornSession : public IdleSession
{
public:
    explicit StubbornSession(int &counter)
        : quits(counter)
    { }
    void quit() override
    {
        ++quits;
        fail(QStringLiteral("Could not quit the word processor: it refused."));
    }
    int &quits;
};

class StubbornProcessor : public WordProcessor
{
public:
    std::unique_ptr<WordSession> create() override
    {
        return std::make_unique<StubbornSession>(quits);
    }
    int quits = 0;
};
} // namespace

class WordCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void missingOfficeEndsTheProgramWithTheMessage_data();
    void missingOfficeEndsTheProgramWithTheMessage();
    void installedOfficePassesSilently();
    void failingQuitStillPasses();

private:
    QTemporaryDir mFolder;
};

void WordCheckTest::initTestCase()
{
    QVERIFY(mFolder.isValid());
}

void WordCheckTest::missingOfficeEndsTheProgramWithTheMessage_data()
{
    QTest::addColumn<bool>("fromEnvironment");
    QTest::newRow("program folder given") << false;
    QTest::newRow("program folder from SCRIVANE_OFFICE_PROGRAM") << true;
}

void WordCheckTest::missingOfficeEndsTheProgramWithTheMessage()
{
    QFETCH(bool, fromEnvironment);
    const QString missing = mFolder.filePath(QStringLiteral("no office"));
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.programFolder = missing;
    if (fromEnvironment) {
        qputenv("SCRIVANE_OFFICE_PROGRAM", QFile::encodeName(missing));
        settings = LibreOfficeProcessor::defaultSettings();
        qunsetenv("SCRIVANE_OFFICE_PROGRAM");
    }
    LibreOfficeProcessor word(settings);
    ScriptedUserInterface ui;

    QVERIFY_THROWS_EXCEPTION(ProgramEnded, CheckWordInstalled(word, ui));
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages[0].text, kWordMissing);
    QCOMPARE(ui.messages[0].caption, QString());
    QCOMPARE(ui.messages[0].buttons, UserInterface::Buttons::Ok);
    QCOMPARE(ui.messages[0].icon, UserInterface::Icon::None);
    QCOMPARE(ui.endings, 1);
}

void WordCheckTest::installedOfficePassesSilently()
{
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = mFolder.filePath(QStringLiteral("profiles"));
    {
        LibreOfficeProcessor word(settings);
        ScriptedUserInterface ui;

        CheckWordInstalled(word, ui);

        QCOMPARE(ui.messages.size(), 0);
        QCOMPARE(ui.endings, 0);
        // The office stays, hidden, for the first run.
        QCOMPARE(TestOffice::childOffices().size(), 1);
    }
    QCOMPARE(TestOffice::childOffices(), QList<qint64>());
}

void WordCheckTest::failingQuitStillPasses()
{
    StubbornProcessor word;
    ScriptedUserInterface ui;

    CheckWordInstalled(word, ui);

    QCOMPARE(word.quits, 1);
    QCOMPARE(ui.messages.size(), 0);
    QCOMPARE(ui.endings, 0);
}

QTEST_MAIN(WordCheckTest)
#include "tst_wordcheck.moc"
