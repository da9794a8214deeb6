// Starts the window with the real word processor and a run, and closes the window
// when the run reaches the named operation, as a user closing it mid-run would.
// Ends as the program does: at once, through the user interface, its offices ended and
// its work folders removed.
#include "Form1.h"
#include "Form1Controls.h"
#include "Leftovers.h"
#include "LibreOfficeProcessor.h"
#include "ProgramEnd.h"
#include "QuietUserInterface.h"
#include "SettingsStore.h"
#include "UserInterface.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <cstdlib>

namespace {
class EndingUserInterface : public QuietUserInterface
{
public:
    explicit EndingUserInterface(LibreOfficeProcessor &word)
        : mWord(word)
    { }
    [[noreturn]] void endProgram() override
    {
        // As the program's end does.
        mWord.shutDown();
        ProgramEnd::endNotedChildren();
        ProgramEnd::removeNotedFolders();
        removeOwnWorkFolders();
        std::fflush(nullptr);
        std::_Exit(0);
    }

private:
    LibreOfficeProcessor &mWord;
};

// Passes every call on, and asks the window to close once the named one is done.
class ClosingSession : public WordSession
{
public:
    ClosingSession(std::unique_ptr<WordSession> inner, QString closeAt, QWidget *&window)
        : mInner(std::move(inner))
        , mCloseAt(std::move(closeAt))
        , mWindow(window)
    { }
    void open(const QString &path, bool readOnly) override
    {
        mInner->open(path, readOnly);
        after(QStringLiteral("open"));
    }
    void setBookmarkText(const QString &b, const QString &t) override
    {
        mInner->setBookmarkText(b, t);
    }
    void saveAs(const QString &path) override
    {
        mInner->saveAs(path);
        after(QStringLiteral("saveAs"));
    }
    void setDisplayAlerts(bool on) override { mInner->setDisplayAlerts(on); }
    void close() override { mInner->close(); }
    QImage copyAsPicture() override
    {
        QImage picture = mInner->copyAsPicture();
        after(QStringLiteral("copyAsPicture"));
        return picture;
    }
    void closeActiveDocumentWithoutSaving() override { mInner->closeActiveDocumentWithoutSaving(); }
    void quit() override { mInner->quit(); }
    bool isRunning() const override { return mInner->isRunning(); }

private:
    void after(const QString &operation)
    {
        // At once, as a close that arrives while the run waits for the office: posted,
        // it could come only after the run has shown its preview.
        if (operation == mCloseAt && mWindow)
            mWindow->close();
    }

    std::unique_ptr<WordSession> mInner;
    QString mCloseAt;
    QWidget *&mWindow;
};

// Lends its spare as the program's does, so the window makes its style pictures' folder.
class ClosingProcessor : public WordProcessor, public SpareLending
{
public:
    ClosingProcessor(LibreOfficeProcessor &inner, QString closeAt)
        : mInner(inner)
        , mCloseAt(std::move(closeAt))
    { }
    std::unique_ptr<WordSession> create() override
    {
        return std::make_unique<ClosingSession>(mInner.create(), mCloseAt, window);
    }
    std::unique_ptr<WordSession> lendSpare(QThread *worker) override
    {
        return mInner.lendSpare(worker);
    }
    QString workRoot() const override { return mInner.workRoot(); }
    QWidget *window = nullptr;

private:
    LibreOfficeProcessor &mInner;
    QString mCloseAt;
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: close_during_run OPERATION SETTINGS_FILE\n");
        return 2;
    }
    LibreOfficeProcessor office;
    EndingUserInterface ui(office);
    ClosingProcessor word(office, QString::fromLocal8Bit(argv[1]));
    SettingsStore settings(QString::fromLocal8Bit(argv[2]));
    Form1 form(ui, settings, word);
    form.Form_Load();
    form.show();
    word.window = &form;
    controls(form).PushButton3->click();
    controls(form).Option1[3]->setChecked(true);
    controls(form).PushButton6->click();
    std::fprintf(stderr, "the run ended without the window closing\n");
    return 1;
}
