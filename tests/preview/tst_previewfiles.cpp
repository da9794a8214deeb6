#include "Form2.h"
#include "PreviewPages.h"
#include "ScriptedUserInterface.h"
#include "SettingsStore.h"
#include "TestFiles.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <optional>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool canCreateIn(const QString &folder)
{
    const QByteArray probe = QFile::encodeName(folder + u"/.probe"_s);
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

bool setImmutable(const QString &folder, bool immutable)
{
    const int fd
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

// A folder that refuses new files: its write permission goes, and where that does not
// stop this user (the superuser) the folder is made immutable as well.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(QString folder)
        : mFolder(std::move(folder))
    {
        ::chmod(QFile::encodeName(mFolder).constData(), 0555);
        if (canCreateIn(mFolder))
            mImmutable = setImmutable(mFolder, true);
    }
    ~ReadOnlyFolder()
    {
        if (mImmutable)
            setImmutable(mFolder, false);
        ::chmod(QFile::encodeName(mFolder).constData(), 0755);
    }
    bool refusesNewFiles() const { return !canCreateIn(mFolder); }

private:
    QString mFolder;
    bool mImmutable = false;
};

// Files written by this process may not grow beyond the limit: a write past it fails
// as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &mOld);
        mOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited { bytes, mOld.rlim_max };
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &mOld);
        std::signal(SIGXFSZ, mOldHandler);
    }

private:
    rlimit mOld {};
    void (*mOldHandler)(int) = nullptr;
};
} // namespace

// Saving the generated document, going back to the main window and closing.
class PreviewFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cancelledDialogSavesNothing();
    void newNameGetsACopy();
    void existingFileIsKeptOnNo();
    void existingFileIsReplacedOnYes();
    void failedCopyKeepsTheOldFile_data();
    void failedCopyKeepsTheOldFile();
    void nameIsUsedAsTyped_data();
    void nameIsUsedAsTyped();
    void twoSavesGiveTwoCopies();
    void dialogOpensInDocumentsThenWhereTheLastSaveWent();

    void backDeletesTheDocumentAndShowsTheMainWindow();
    void closingDeletesTheDocumentAndEndsTheProgram();

private:
    void save();
    bool doneShown() const;
    QString inFolder(const QString &name) const { return folder->filePath(name); }

    std::unique_ptr<QTemporaryDir> folder;
    QString document;
    QByteArray documentBytes;
    std::unique_ptr<ScriptedUserInterface> ui;
    std::unique_ptr<QWidget> mainWindow;
    std::unique_ptr<Form2> form;
};

void PreviewFilesTest::init()
{
    folder = std::make_unique<QTemporaryDir>(qEnvironmentVariable("TEMP") + u"/previewXXXXXX"_s);
    QVERIFY(folder->isValid());
    QVERIFY(QDir().mkdir(inFolder(u"temp"_s)));
    document = inFolder(u"temp/kelmar12345678.doc"_s);
    documentBytes.resize(300 * 1024);
    QRandomGenerator(7).fillRange(
        reinterpret_cast<quint32 *>(documentBytes.data()), documentBytes.size() / 4);
    QVERIFY(writeFile(document, documentBytes));

    ui = std::make_unique<ScriptedUserInterface>();
    mainWindow = std::make_unique<QWidget>();
    form = std::make_unique<Form2>(*ui, mainWindow.get());
    fillAndShow(*form, pageOfTwips(3000, 2000), document);
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void PreviewFilesTest::cleanup()
{
    QVERIFY2(ui->errorReports().isEmpty(), qPrintable(ui->errorReports().join(u'\n')));
    form.reset();
    mainWindow.reset();
    ui.reset();
    folder.reset();
}

void PreviewFilesTest::save()
{
    QTest::mouseClick(form->findChild<QPushButton *>(u"PushButton6"_s), Qt::LeftButton);
}

bool PreviewFilesTest::doneShown() const
{
    for (const auto &message : ui->messages) {
        if (message.text == u"Done."_s) {
            return message.buttons == UserInterface::Buttons::Ok
                && message.icon == UserInterface::Icon::None && message.caption.isEmpty();
        }
    }
    return false;
}

void PreviewFilesTest::cancelledDialogSavesNothing()
{
    const QStringList before = everythingIn(folder->path());
    save();
    QCOMPARE(ui->dialogs.size(), 1);
    QCOMPARE(ui->dialogs[0].title, u"Save File"_s);
    QCOMPARE(ui->dialogs[0].filter, u"Word Files (*.doc)|*.doc"_s);
    QCOMPARE(ui->dialogs[0].fileName, QString());
    QVERIFY(ui->messages.isEmpty());
    QCOMPARE(everythingIn(folder->path()), before);
    QCOMPARE(readFile(document), documentBytes);
}

void PreviewFilesTest::newNameGetsACopy()
{
    const QString chosen = inFolder(u"Memo to staff.doc"_s);
    ui->fileNames << chosen;
    save();
    QCOMPARE(readFile(chosen), documentBytes);
    QCOMPARE(ui->messages.size(), 1);
    QVERIFY(doneShown());
    QCOMPARE(everythingIn(folder->path()), QStringList({ u"Memo to staff.doc"_s, u"temp"_s }));
    // The preview keeps its document, to be saved again.
    QCOMPARE(readFile(document), documentBytes);

    // As readable as any new file of the user's.
    QVERIFY(writeFile(inFolder(u"plain"_s), "x"));
    QCOMPARE(QFile::permissions(chosen), QFile::permissions(inFolder(u"plain"_s)));
}

void PreviewFilesTest::existingFileIsKeptOnNo()
{
    const QString chosen = inFolder(u"memo.doc"_s);
    QVERIFY(writeFile(chosen, "the user's own memo"));
    ui->fileNames << chosen;
    ui->answers << UserInterface::No;
    save();

    QCOMPARE(ui->messages.size(), 1);
    QCOMPARE(ui->messages[0].text, u"Are you sure you wish to overwrite "_s + chosen + u" ?"_s);
    QCOMPARE(ui->messages[0].buttons, UserInterface::Buttons::YesNo);
    QCOMPARE(ui->messages[0].icon, UserInterface::Icon::None);
    QCOMPARE(ui->messages[0].caption, QString());
    QCOMPARE(readFile(chosen), QByteArray("the user's own memo"));
    QCOMPARE(everythingIn(folder->path()), QStringList({ u"memo.doc"_s, u"temp"_s }));
}

void PreviewFilesTest::existingFileIsReplacedOnYes()
{
    const QString chosen = inFolder(u"memo.doc"_s);
    QVERIFY(writeFile(chosen, "the user's own memo"));
    QFile::setPermissions(chosen, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QFile::Permissions permissions = QFile::permissions(chosen);
    ui->fileNames << chosen;
    ui->answers << UserInterface::Yes;
    save();

    QCOMPARE(ui->messages.size(), 2);
    QVERIFY(ui->messages[0].text.startsWith(u"Are you sure you wish to overwrite "_s));
    QVERIFY(doneShown());
    QCOMPARE(readFile(chosen), documentBytes);
    QCOMPARE(QFile::permissions(chosen), permissions);
    QCOMPARE(everythingIn(folder->path()), QStringList({ u"memo.doc"_s, u"temp"_s }));
}

void PreviewFilesTest::failedCopyKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("read-only folder") << u"read-only folder"_s;
    QTest::newRow("write fails part way") << u"write fails"_s;
    QTest::newRow("document gone") << u"document gone"_s;
}

void PreviewFilesTest::failedCopyKeepsTheOldFile()
{
    QFETCH(QString, failure);

    const QString target = inFolder(u"memos"_s);
    QVERIFY(QDir().mkdir(target));
    const QString chosen = target + u"/memo.doc"_s;
    QVERIFY(writeFile(chosen, "the user's own memo"));
    ui->fileNames << chosen;
    ui->answers << UserInterface::Yes;

    std::optional<ReadOnlyFolder> readOnly;
    if (failure == u"read-only folder"_s) {
        readOnly.emplace(target);
        QVERIFY2(readOnly->refusesNewFiles(), "no folder could be made read-only here");
        save();
    } else if (failure == u"write fails"_s) {
        FileSizeLimit limit(64 * 1024);
        save();
    } else {
        QVERIFY(QFile::remove(document));
        save();
    }
    readOnly.reset();

    const QStringList reports = ui->errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(
        reports[0].contains(u"\r\nin Scrivane2021/08/31.Form2.PushButton6_Click at line 130\r\r"_s),
        qPrintable(reports[0]));
    QVERIFY(!doneShown());
    QCOMPARE(readFile(chosen), QByteArray("the user's own memo"));
    QCOMPARE(everythingIn(target), QStringList({ u"memo.doc"_s }));
    ui->messages.clear();
}

void PreviewFilesTest::nameIsUsedAsTyped_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("othersThere");
    QTest::addColumn<bool>("asked");

    QTest::newRow("no extension") << u"memo"_s << QStringList { u"memo.doc"_s } << false;
    QTest::newRow("star among files it matches")
        << u"*.doc"_s << QStringList { u"a.doc"_s, u"b.doc"_s } << false;
    QTest::newRow("question mark, itself there")
        << u"?.doc"_s << QStringList { u"?.doc"_s, u"a.doc"_s } << true;
}

void PreviewFilesTest::nameIsUsedAsTyped()
{
    QFETCH(QString, name);
    QFETCH(QStringList, othersThere);
    QFETCH(bool, asked);

    for (const QString &other : othersThere)
        QVERIFY(writeFile(inFolder(other), other.toUtf8()));
    ui->fileNames << inFolder(name);
    ui->answers << UserInterface::Yes;
    save();

    QCOMPARE(ui->messages.size(), asked ? 2 : 1);
    QVERIFY(doneShown());
    QCOMPARE(readFile(inFolder(name)), documentBytes);
    for (const QString &other : othersThere) {
        if (other != name)
            QCOMPARE(readFile(inFolder(other)), other.toUtf8());
    }
    QStringList expected = othersThere;
    expected << name << u"temp"_s;
    expected.removeDuplicates();
    expected.sort();
    QCOMPARE(everythingIn(folder->path()), expected);
}

void PreviewFilesTest::twoSavesGiveTwoCopies()
{
    ui->fileNames << inFolder(u"first.doc"_s) << inFolder(u"second.doc"_s);
    save();
    save();
    QCOMPARE(ui->dialogs.size(), 2);
    QCOMPARE(ui->dialogs[1].fileName, QString());
    QCOMPARE(readFile(inFolder(u"first.doc"_s)), documentBytes);
    QCOMPARE(readFile(inFolder(u"second.doc"_s)), documentBytes);
    QCOMPARE(ui->messages.size(), 2);
}

void PreviewFilesTest::dialogOpensInDocumentsThenWhereTheLastSaveWent()
{
    SettingsStore store(inFolder(u"Tarnwick.conf"_s));
    form = std::make_unique<Form2>(*ui, mainWindow.get(), &store);
    fillAndShow(*form, pageOfTwips(3000, 2000), document);
    const QString documents = QDir::homePath() + u"/Documents"_s;
    QDir(documents).removeRecursively();
    const QString elsewhere = inFolder(u"elsewhere"_s);
    QVERIFY(QDir().mkpath(elsewhere));
    ui->fileNames << QString() << QString() << elsewhere + u"/memo.doc"_s;

    save();
    QVERIFY(QDir().mkpath(documents));
    save();
    save();
    save();
    // A remembered folder that has gone is passed over.
    QVERIFY(QDir(elsewhere).removeRecursively());
    save();
    QCOMPARE(ui->dialogs.size(), 5);
    QCOMPARE(ui->dialogs[0].folder, QDir::homePath());
    QCOMPARE(ui->dialogs[1].folder, documents);
    QCOMPARE(ui->dialogs[2].folder, documents);
    QCOMPARE(ui->dialogs[3].folder, elsewhere);
    QCOMPARE(ui->dialogs[4].folder, documents);
    QCOMPARE(store.GetSetting(u"lastSaveFolder"_s), elsewhere);
    QDir(documents).removeRecursively();
}

void PreviewFilesTest::backDeletesTheDocumentAndShowsTheMainWindow()
{
    QTest::mouseClick(form->findChild<QPushButton *>(u"PushButton8"_s), Qt::LeftButton);
    QVERIFY(!QFile::exists(document));
    QVERIFY(mainWindow->isVisible());
    QVERIFY(!form->isVisible());
    QVERIFY(ui->messages.isEmpty());
    QCOMPARE(ui->endings, 0);
}

void PreviewFilesTest::closingDeletesTheDocumentAndEndsTheProgram()
{
    // The close box's event, given straight to the window: the end of the program
    // is thrown here, and Qt's own close handling is not made to unwind.
    mainWindow->hide();
    QCloseEvent closing;
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, QApplication::sendEvent(form.get(), &closing));
    QCOMPARE(ui->endings, 1);
    QVERIFY(!QFile::exists(document));
    QVERIFY(ui->messages.isEmpty());
}

QTEST_MAIN(PreviewFilesTest)
#include "tst_previewfiles.moc"
