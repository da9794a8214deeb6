#pragma once

#include "RunControl.h"

#include <QDate>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QTemporaryDir;
struct OwnTemplate;
class UserInterface;
class WordProcessor;
class WordSession;
struct MemoField;

// What the generation run reads from the entry window and does to the windows,
// each at the step that needs it.
class MemoRunHost
{
public:
    virtual ~MemoRunHost() = default;

    virtual int styleButtonCount() const = 0;
    virtual bool isStyleButtonSet(int index) const = 0;
    virtual QDate eventDate() const = 0;
    // The whole text of the field's control.
    virtual QString text(const MemoField &field) const = 0;
    // The user's own template that stands in for the style's built-in one, if any.
    virtual std::shared_ptr<const OwnTemplate> ownTemplate(int style) const
    {
        (void)style;
        return nullptr;
    }
    virtual void setBusyPointer(bool busy) = 0;

    // The preview window, created on first use.
    virtual void clearPages() = 0;
    virtual void addPage(const QString &caption) = 0;
    virtual void setPagePicture(int index, const QImage &picture) = 0;
    virtual void setDisplayPicture(const QImage &picture) = 0;
    virtual void setWordFile(const QString &path) = 0;
    virtual void showPreview() = 0;
    virtual void hideEntry() = 0;

    // What the run does now, in the user's words ("Saving the memo...").
    virtual void showProgress(const QString & /*doing*/) { }
    // A note over the preview's pages: how many of the memo's pages the picture shows,
    // or that the memo is too long to preview; empty for none.
    virtual void setPagesNote(const QString & /*note*/) { }
};

// "Start Creating Template": fills the selected style's template through the word
// processor, saves the memo in the temporary folder, renders it to a picture and
// hands both to the preview window. A failing step is reported with its line; when
// the rest depends on it (the word processor, the template, the saved memo, the
// picture) the run stops there, cleans up and leaves the entry window as it was. The
// user may stop it the same way (cancel). A memo of more pages than the picture holds
// is shown by its first pages; one far longer is not drawn at all: the preview says
// so, and its Word file can be saved as any other.
class MemoRun
{
public:
    MemoRun(MemoRunHost &host, WordProcessor &word, UserInterface &ui);
    ~MemoRun();

    // The run behind the entry window's PushButton6_Click; its error reports carry
    // that handler's location, as they always have.
    void makeMemo();
    // Renders the saved document to the picture file "temp.bmp" in the temporary
    // folder; false, after reporting why, when there is no picture.
    bool SaveDocAsJPG(const QString &inFile);

    bool busy() const { return mBusy; }
    // For a program that ends in the middle of a run: ends the run's word processors
    // and deletes the template, the picture and the unfinished memo.
    void abandon();
    // The user stops the run: its word processors end at once, and it stops quietly
    // and cleans up as abandon does, leaving the entry window as it was. False, and
    // nothing happens, when there is no run or the memo is going to the preview.
    bool cancel();

    // Seconds since midnight; the document name's digits are drawn from it.
    std::function<float()> timeOfDay;

private:
    // Steps 104 to 216.
    void generateMemo(ErrorTrap &trap);
    // Cleans up after a run that cannot go on, and gives the window back.
    void stopRun();
    QString drawDocumentName();
    // A working file of this run ("template.dot", "temp.bmp") in a folder of the run's
    // own under the temporary folder: two windows sharing a home never share them.
    // Throws Failure when the folder cannot be made.
    QString temporary(const char *fileName);
    // Removes the run's folder with what is left in it.
    void removeRunFolder();

    MemoRunHost &mHost;
    WordProcessor &mWord;
    UserInterface &mUi;
    bool mBusy = false;
    std::unique_ptr<WordSession> mSession;
    std::unique_ptr<WordSession> mRenderSession;
    // The memo this run saves, until the preview takes it.
    QString mDocumentPath;
    std::unique_ptr<QTemporaryDir> mRunFolder;
    RunControl mControl;
    // How many pages the memo drawn last has, by its picture.
    int mPicturePages = 0;
    std::uint32_t mRandomState = 0x50000;
};
