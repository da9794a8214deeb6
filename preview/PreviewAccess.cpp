#include "PreviewAccess.h"

#include "ButtonKeys.h"
#include "FocusRing.h"
#include "MemoStyle.h"
#include "PageCommands.h"
#include "PictureBox.h"

#include <QAccessibleWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

#include <cmath>

namespace {
// White text on it stands at 6.9:1 (the style's own blue gives 3.5:1).
constexpr QRgb kSelectedRow = 0x1f5aa3;

// The viewport and the page are picture boxes: a pane and a picture to a reader.
constexpr char kAccessibleRole[] = "accessibleRole";

QAccessibleInterface *pictureBoxInterface(const QString &className, QObject *object)
{
    if (className != QLatin1String("PictureBox") || !object->isWidgetType())
        return nullptr;
    const QVariant role = object->property(kAccessibleRole);
    return new QAccessibleWidget(static_cast<QWidget *>(object),
        role.isValid() ? QAccessible::Role(role.toInt()) : QAccessible::Client);
}
} // namespace

PreviewAccess::PreviewAccess(const Controls &controls, PageCommands &commands)
    : QObject(controls.window)
    , mControls(controls)
    , mCommands(commands)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&pictureBoxInterface);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    mControls.viewport->setProperty(kAccessibleRole, int(QAccessible::Pane));
    mControls.page->setProperty(kAccessibleRole, int(QAccessible::Graphic));

    mControls.pages->setAccessibleName(QStringLiteral("Pages"));
    mControls.viewport->setAccessibleName(QStringLiteral("Memo view"));
    mControls.viewport->setAccessibleDescription(
        QStringLiteral("The arrow keys, Page Up and Page Down move the memo; Ctrl and plus or "
                       "minus zoom; the Menu key opens the page's menu."));
    mControls.across->setAccessibleName(QStringLiteral("Across the memo"));
    mControls.down->setAccessibleName(QStringLiteral("Down the memo"));
    // "< Back" is read out as "less than Back".
    mControls.back->setAccessibleName(QStringLiteral("Back"));

    QPalette rows = mControls.pages->palette();
    for (const auto group : { QPalette::Active, QPalette::Inactive }) {
        rows.setColor(group, QPalette::Highlight, QColor(kSelectedRow));
        rows.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    mControls.pages->setPalette(rows);

    mControls.page->setFocusRingInside(true);
    showFocusRing(*mControls.window);
    pressButtonsWithEnter(*mControls.window);

    connect(&mCommands, &PageCommands::viewChanged, this, &PreviewAccess::describePage);
    mControls.window->installEventFilter(this);
    // A page chosen in the list comes at zoom 1, which the commands are not told of.
    mControls.page->installEventFilter(this);
    describePage();
}

bool PreviewAccess::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mControls.window && event->type() == QEvent::Show && !event->spontaneous())
        mControls.page->setFocus(Qt::OtherFocusReason);
    else if (watched == mControls.page && event->type() == QEvent::Resize)
        describePage();
    return false;
}

void PreviewAccess::describePage()
{
    const QString name = QStringLiteral("Memo, page %1 of %2")
                             .arg(mCommands.currentPage())
                             .arg(mCommands.pageCount());
    const QList<QTreeWidgetItem *> shown = mControls.pages->selectedItems();
    const int style
        = shown.isEmpty() ? -1 : memoStyleByPageCaption(shown.first()->text(0)).value_or(-1);
    const int percent = int(std::lround(mCommands.zoom() * 100));
    const QString description = style < 0
        ? QStringLiteral("Zoom %1 %.").arg(percent)
        : QStringLiteral("%1 style, zoom %2 %. %3")
              .arg(QLatin1String(kMemoStyles[size_t(style)].caption))
              .arg(percent)
              .arg(styleLeavesOut(style));
    // Setting them tells a screen reader of the change, which it reads out for the
    // focused page; so only a change is set.
    if (mControls.page->accessibleName() != name)
        mControls.page->setAccessibleName(name);
    if (mControls.page->accessibleDescription() != description)
        mControls.page->setAccessibleDescription(description);
    // The zoom buttons' descriptions are their tips, which say the zoom.
    if (mCommands.zoom() != mZoom && QAccessible::isActive()) {
        mZoom = mCommands.zoom();
        for (QPushButton *button : { mControls.zoomIn, mControls.zoomOut }) {
            QAccessibleEvent changed(button, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&changed);
        }
    }
}
