#pragma once

#include "EntryAccess.h"
#include "Form2.h"
#include "MemoRun.h"
#include "MousePointer.h"

#include <QDate>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSet>
#include <QString>
#include <QWidget>

#include <array>
#include <exception>
#include <functional>
#include <memory>

struct MemoDetails;
struct MemoField;
class QGroupBox;
class QLabel;
class QPushButton;
class RunStrip;
class SettingsStore;
class StylePictures;
class StyleTemplates;
class StyleTips;
class UndoNotice;
class UserInterface;
class WordProcessor;

// The memo entry window: the memo's details and style, remembered as they are typed.
class Form1 : public QWidget, private MemoRunHost
{
    Q_OBJECT

public:
    Form1(UserInterface &ui, SettingsStore &settings, WordProcessor &word);
    ~Form1() override;

    void Form_Load();
    void Form_QueryUnload(bool &cancel, int unloadMode);
    void Form_Unload(bool &cancel);
    // Told to end from outside (SIGTERM, SIGHUP, SIGINT): ends the program as closing
    // this window does, also while the preview stands in for it; the preview's memo
    // goes too.
    void endAsClosed();

    void txtOrgName_Change() { saveField(txtOrgName); }
    void txtTo_Change() { saveField(txtTo); }
    void txtCC_Change() { saveField(txtCC); }
    void txtFrom_Change() { saveField(txtFrom); }
    void txtRe_Change() { saveField(txtRe); }
    void txtMsg_Change() { saveField(txtMsg); }
    void dtpEventDate_Change();
    void Option1_Click(int index);

    void txtOrgName_GotFocus() { txtOrgName->selectAll(); }
    void txtTo_GotFocus() { txtTo->selectAll(); }
    void txtCC_GotFocus() { txtCC->selectAll(); }
    void txtFrom_GotFocus() { txtFrom->selectAll(); }
    void txtRe_GotFocus() { txtRe->selectAll(); }
    void txtMsg_GotFocus() { txtMsg->selectAll(); }

    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton6_Click();

    void Form_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void Frame1_MouseMove(int /*index*/) { applyHover(mPointer, MousePointer::Default); }
    void Frame3_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void txtOrgName_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void txtTo_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void txtCC_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void txtFrom_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void txtRe_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void txtMsg_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void dtpEventDate_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void PushButton2_MouseMove() { applyHover(mPointer, MousePointer::Custom); }
    void PushButton3_MouseMove() { applyHover(mPointer, MousePointer::Custom); }
    void PushButton6_MouseMove() { applyHover(mPointer, MousePointer::Custom); }

    // The index of the selected style button, or -1 when none is selected.
    int selectedStyle() const;
    // Hands what was typed and not yet handed to the settings store to it.
    void saveTyping();
    WindowPointer &pointer() { return mPointer; }
    // The preview window; created on first use.
    Form2 &form2();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPushButton *const PushButton6;
    QPushButton *const PushButton2;
    QPushButton *const PushButton3;
    QGroupBox *const Frame3;
    QGroupBox *const Frame1;
    // Named "Option1_0" to "Option1_4" and "Label4_0" to "Label4_6".
    const std::array<QRadioButton *, 5> Option1;
    const std::array<QLabel *, 7> Label4;
    // Says which typed fields the chosen style does not print.
    QLabel *const styleNote;
    QDateEdit *const dtpEventDate;
    QLineEdit *const txtOrgName;
    QPlainTextEdit *const txtTo;
    QLineEdit *const txtCC;
    QPlainTextEdit *const txtFrom;
    QPlainTextEdit *const txtRe;
    QPlainTextEdit *const txtMsg;

    // Each text field's control and handlers, in the order of kMemoFields: what is done
    // to every field is done through this one list.
    struct TextField
    {
        const MemoField &field;
        QWidget *control;
        void (Form1::*change)();
        void (Form1::*gotFocus)();
        void (Form1::*mouseMove)();
    };
    const std::array<TextField, 6> mTextFields;
    const TextField *textField(const QObject *control) const;
    // What assistive technology is told and the keyboard shows, made with the controls.
    EntryAccess *const mAccess = new EntryAccess(
        *this, Label4, { dtpEventDate, txtOrgName, txtTo, txtCC, txtFrom, txtRe, txtMsg }, Option1);

    void buildLayout();
    void connectHandlers();
    // `done` says what a data button did, for its undo; empty for the undo itself.
    void fillDetails(const QString &location, const MemoDetails &memo, const QString &done = {});
    MemoDetails currentMemo() const;
    void selectStyle(int index);
    void keepStyleGroupOneTabStop();
    void showStyleNote();
    // Sets a field from the program; a failure of the change handler it runs is the caller's.
    void setFieldText(QLineEdit *field, const QString &text);
    void setFieldText(QPlainTextEdit *field, const QString &text);
    void setFieldText(const MemoField &field, const QString &text);
    QWidget *fieldControl(const MemoField &field) const;
    void saveField(const QWidget *control);
    void saveValue(const QString &key, const QString &value);
    static QString fieldText(const QWidget *control);
    void warnNotRemembered(const QString &reason);
    void programChange(const std::function<void()> &change);
    void runChangeHandler(void (Form1::*handler)());
    void runChangeHandler(const std::function<void()> &handler);

    int styleButtonCount() const override { return static_cast<int>(Option1.size()); }
    bool isStyleButtonSet(int index) const override { return Option1.at(index)->isChecked(); }
    QDate eventDate() const override;
    QString text(const MemoField &field) const override;
    std::shared_ptr<const OwnTemplate> ownTemplate(int style) const override;
    void setBusyPointer(bool busy) override;
    void clearPages() override { form2().clearPages(); }
    void addPage(const QString &caption) override { form2().addPage(caption); }
    void setPagePicture(int index, const QImage &picture) override
    {
        form2().setPagePicture(index, picture);
    }
    void setDisplayPicture(const QImage &picture) override { form2().setDisplayPicture(picture); }
    void setWordFile(const QString &path) override { form2().mWordFile = path; }
    void showPreview() override;
    void hideEntry() override { hide(); }
    void showProgress(const QString &doing) override;
    void setPagesNote(const QString &note) override { form2().setPagesNote(note); }

    UserInterface &mUi;
    SettingsStore &mSettings;
    WordProcessor &mWord;
    WindowPointer mPointer;
    MemoRun mRun;
    std::unique_ptr<Form2> mForm2;
    // The style buttons' tooltips: the memo drawn in each style.
    std::unique_ptr<StylePictures> mStylePictures;
    // Each style's template: built in, or one of the user's own.
    std::unique_ptr<StyleTemplates> mStyleTemplates;
    std::unique_ptr<StyleTips> mStyleTips;
    RunStrip *mRunStrip = nullptr;
    UndoNotice *mUndo = nullptr;

    int mProgramChanges = 0;
    std::exception_ptr mChangeFailure;
    bool mWarnedAboutSettings = false;
    bool mRestoringStyle = false;
    bool mRestoreWrites = true;
    // Fields typed into since their text last went to the store.
    QSet<const QWidget *> mTyped;
};
