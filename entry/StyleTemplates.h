#pragma once

#include "OwnTemplate.h"

#include <QObject>

#include <array>
#include <functional>

class QPoint;
class QRadioButton;
class SettingsStore;
class UserInterface;
class WordProcessor;

// Each style's template: its built-in one, or a template of the user's own kept made
// safe (OwnTemplates). A right click on a style button, or the Menu key on a focused
// one, offers "Use a Template of Your Own...", "Save This Style's Template As..." and,
// while one is used, "Use the Built-in Template". The chosen file's path is kept in the
// settings store under "Template0" to "Template4", beside the window's own keys, and
// Scrivane's copy of it under OwnTemplates::styleFolder(); the file itself is read only
// when it is chosen.
class StyleTemplates : public QObject
{
public:
    struct Hooks
    {
        // Before the office is taken: the style pictures give it back.
        std::function<void()> beforeOffice;
        std::function<void(bool busy)> busy;
        // The style's template changed.
        std::function<void(int style)> changed;
    };

    StyleTemplates(const std::array<QRadioButton *, 5> &buttons, UserInterface &ui,
        SettingsStore &settings, WordProcessor &word, Hooks hooks);

    // The user's template the style uses; null for the built-in one. A template chosen
    // once whose copy is gone still stands for the style, so that its memos fail saying
    // so rather than come out in the built-in design.
    OwnTemplatePointer ownTemplate(int style) const;

    // The menu's commands.
    void useOwnTemplate(int style);
    void saveBuiltInTemplate(int style);
    void useBuiltInTemplate(int style);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMenu(int style, const QPoint &at);
    void load(int style);
    void describeButton(int style);

    std::array<QRadioButton *, 5> mButtons;
    UserInterface &mUi;
    SettingsStore &mSettings;
    WordProcessor &mWord;
    Hooks mHooks;
    std::array<OwnTemplatePointer, 5> mTemplates;
};
