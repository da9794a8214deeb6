#pragma once

#include <QDate>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>

class UserInterface;
class WordProcessor;
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
    virtual void setBusyPointer(bool busy) = 0;

    // The preview window, created on first use.
    virtual void clearPages() = 0;
    virtual void addPage(const QString &caption) = 0;
    virtual void setPagePicture(int index, const QImage &picture) = 0;
    virtual void setDisplayPicture(const QImage &picture) = 0;
    virtual void setWordFile(const QString &path) = 0;
    virtual void showPreview() = 0;
    virtual void hideEntry() = 0;
};

// "Start Creating Template": fills the selected style's template through the word
// processor, saves the memo in the temporary folder, renders it to a picture and
// hands both to the preview window. Every failing step is reported with its line
// and the run goes on, so it always reaches its end.
class MemoRun
{
public:
    MemoRun(MemoRunHost &host, WordProcessor &word, UserInterface &ui);

    void PushButton6_Click();
    // Renders the saved document to the picture file "temp.bmp" in the temporary folder.
    void SaveDocAsJPG(const QString &inFile);

    bool busy() const { return mBusy; }

    // Seconds since midnight; the document name's digits are drawn from it.
    std::function<float()> timeOfDay;

private:
    QString drawDocumentName();

    MemoRunHost &mHost;
    WordProcessor &mWord;
    UserInterface &mUi;
    bool mBusy = false;
    std::uint32_t mRandomState = 0x50000;
};
