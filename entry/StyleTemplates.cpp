#include "StyleTemplates.h"

#include "Failure.h"
#include "FileUtils.h"
#include "MemoStyle.h"
#include "SaveFolder.h"
#include "SettingsStore.h"
#include "StylePictures.h"
#include "TemplateCatalogue.h"
#include "UserInterface.h"
#include "WordSession.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QRadioButton>

#include <memory>

namespace {
QString settingsKey(int style)
{
    return QStringLiteral("Template%1").arg(style);
}

QString caption(int style)
{
    return QString::fromLatin1(kMemoStyles.at(size_t(style)).caption);
}

void quitQuietly(std::unique_ptr<WordSession> &session)
{
    try {
        if (session)
            session->quit();
    } catch (const Failure &) {
        // An office that hung or died over the file is ended; the user is told why.
    }
    session.reset();
}
} // namespace

StyleTemplates::StyleTemplates(const std::array<QRadioButton *, 5> &buttons, UserInterface &ui,
    SettingsStore &settings, WordProcessor &word, Hooks hooks)
    : QObject(buttons[0])
    , mButtons(buttons)
    , mUi(ui)
    , mSettings(settings)
    , mWord(word)
    , mHooks(std::move(hooks))
{
    for (int style = 0; style < int(mButtons.size()); ++style) {
        mButtons[size_t(style)]->installEventFilter(this);
        load(style);
    }
}

OwnTemplatePointer StyleTemplates::ownTemplate(int style) const
{
    return style >= 0 && style < int(mTemplates.size()) ? mTemplates[size_t(style)] : nullptr;
}

void StyleTemplates::load(int style)
{
    const QString chosen = mSettings.GetSetting(settingsKey(style));
    OwnTemplatePointer kept;
    if (!chosen.isEmpty()) {
        try {
            kept = OwnTemplates::kept(OwnTemplates::styleFolder(style));
        } catch (const Failure &) {
            // Said by the run that needs it.
        }
        if (!kept) {
            auto lost = std::make_shared<OwnTemplate>();
            lost->folder = OwnTemplates::styleFolder(style);
            lost->source = chosen;
            kept = lost;
        }
    }
    mTemplates[size_t(style)] = kept;
    describeButton(style);
}

void StyleTemplates::describeButton(int style)
{
    const OwnTemplatePointer &own = mTemplates[size_t(style)];
    mButtons[size_t(style)]->setAccessibleDescription(own
            ? QStringLiteral("Your template %1. %2")
                  .arg(own->fileName(), leavesOutSentence(own->leavesOut))
            : StylePictures::look(style) + u' ' + styleLeavesOut(style));
}

bool StyleTemplates::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu)
        return false;
    for (int style = 0; style < int(mButtons.size()); ++style) {
        QRadioButton *button = mButtons[size_t(style)];
        if (button != watched)
            continue;
        const auto *request = static_cast<QContextMenuEvent *>(event);
        // The Menu key opens it below the button.
        showMenu(style,
            request->reason() == QContextMenuEvent::Keyboard
                ? button->mapToGlobal(button->rect().bottomLeft())
                : request->globalPos());
        return true;
    }
    return false;
}

void StyleTemplates::showMenu(int style, const QPoint &at)
{
    QMenu menu(mButtons[size_t(style)]->window());
    menu.setObjectName(QStringLiteral("styleMenu"));
    std::function<void()> chosen;
    const auto add = [&](const QString &text, std::function<void()> command) {
        connect(menu.addAction(text), &QAction::triggered, &menu,
            [&chosen, command = std::move(command)] { chosen = command; });
    };
    add(QStringLiteral("Use a Template of Your Own..."), [this, style] { useOwnTemplate(style); });
    add(QStringLiteral("Save This Style's Template As..."),
        [this, style] { saveBuiltInTemplate(style); });
    if (mTemplates[size_t(style)])
        add(QStringLiteral("Use the Built-in Template"),
            [this, style] { useBuiltInTemplate(style); });
    mUi.showMenu(menu, at);
    // Once the menu is gone.
    if (chosen)
        chosen();
}

void StyleTemplates::useOwnTemplate(int style)
{
    const QString stored = mSettings.GetSetting(settingsKey(style));
    const QString file
        = mUi.openFileName(QStringLiteral("Use a Template of Your Own for %1").arg(caption(style)),
            QStringLiteral("Word and OpenDocument documents|*.dot *.doc *.dotx *.docx *.ott *.odt"
                           "|All files|*"),
            stored.isEmpty() ? saveDialogFolder(&mSettings) : QFileInfo(stored).absolutePath());
    if (file.isEmpty())
        return;
    if (mHooks.beforeOffice)
        mHooks.beforeOffice();
    if (mHooks.busy)
        mHooks.busy(true);
    OwnTemplatePointer made;
    QString problem;
    const QString keeps = QStringLiteral("%1 keeps the template it had.").arg(caption(style));
    std::unique_ptr<WordSession> session;
    try {
        const QByteArray bytes = OwnTemplates::readFile(file);
        made = OwnTemplates::make(
            [&]() -> WordSession & {
                session = mWord.create();
                return *session;
            },
            file, bytes, OwnTemplates::styleFolder(style), OwnTemplates::PackageForms::WhenNeeded);
    } catch (const TemplateRefused &refused) {
        problem = QStringLiteral("Scrivane cannot use \"%1\" as a template: %2.\r\n%3")
                      .arg(QFileInfo(file).fileName(), refused.description(), keeps);
    } catch (const std::exception &error) {
        problem = QStringLiteral("\"%1\" could not be checked as a template. %2\r\n%3")
                      .arg(QFileInfo(file).fileName(), describe(error), keeps);
    }
    quitQuietly(session);
    if (mHooks.busy)
        mHooks.busy(false);
    if (!problem.isEmpty()) {
        mUi.messageBox(problem, UserInterface::Buttons::Ok, UserInterface::Icon::Warning);
        return;
    }
    mTemplates[size_t(style)] = made;
    describeButton(style);
    if (mHooks.changed)
        mHooks.changed(style);
    QString remembered;
    try {
        mSettings.SaveSetting(settingsKey(style), file);
    } catch (const Failure &failure) {
        remembered = QStringLiteral("\r\nThe choice could not be remembered for the next start: ")
            + failure.description();
    }
    mUi.messageBox(
        QStringLiteral("%1 now uses your template \"%2\".\r\n%3\r\nScrivane keeps a "
                       "copy of its own: after you edit \"%2\", choose it again with "
                       "\"Use a Template of Your Own...\".%4")
            .arg(caption(style), made->fileName(), OwnTemplates::findingsText(*made), remembered),
        UserInterface::Buttons::Ok, UserInterface::Icon::None);
}

void StyleTemplates::saveBuiltInTemplate(int style)
{
    QString file = mUi.saveFileName(QStringLiteral("Save the %1 Template As").arg(caption(style)),
        QStringLiteral("Word 97-2003 Templates (*.dot)|*.dot"),
        caption(style).remove(u' ') + QStringLiteral(".dot"), saveDialogFolder(&mSettings));
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".dot");
    if (FileExists(file)
        && mUi.messageBox(
               QStringLiteral("Are you sure you wish to overwrite ") + file + QStringLiteral(" ?"),
               UserInterface::Buttons::YesNo, UserInterface::Icon::None)
            != UserInterface::Yes)
        return;
    try {
        replaceFile(
            file, loadResData(kMemoStyles.at(size_t(style)).resourceId), ReadOnlyFile::Replace);
        rememberSaveFolder(&mSettings, file);
    } catch (const std::exception &error) {
        mUi.messageBox(QStringLiteral("The %1 template could not be saved. %2")
                           .arg(caption(style), describe(error)),
            UserInterface::Buttons::Ok, UserInterface::Icon::Warning);
        return;
    }
    mUi.messageBox(QStringLiteral("The %1 template is saved as \"%2\".\r\nOpen it in your word "
                                  "processor, put your logo and colours around its bookmarks, "
                                  "save it, and choose it with \"Use a Template of Your "
                                  "Own...\" on the %1 button.")
                       .arg(caption(style), file),
        UserInterface::Buttons::Ok, UserInterface::Icon::None);
}

void StyleTemplates::useBuiltInTemplate(int style)
{
    try {
        mSettings.SaveSetting(settingsKey(style), QString());
    } catch (const Failure &failure) {
        mUi.messageBox(QStringLiteral("%1 keeps your template: the change could not be "
                                      "remembered. %2")
                           .arg(caption(style), failure.description()),
            UserInterface::Buttons::Ok, UserInterface::Icon::Warning);
        return;
    }
    removeOwn(OwnTemplates::styleFolder(style));
    mTemplates[size_t(style)] = nullptr;
    describeButton(style);
    if (mHooks.changed)
        mHooks.changed(style);
}
