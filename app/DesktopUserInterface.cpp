#include "AppTitle.h"
#include "ProgramEnd.h"
#include "UserInterface.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {
// Message texts keep the line breaks they were built with (lone CRs included);
// a label shows a line break only for LF.
QString forDisplay(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// "Description|pattern|Description|pattern" as the file dialog wants it.
QString dialogFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        const QString &pattern = parts[i + 1];
        const QString shown = QLatin1Char('(') + pattern + QLatin1Char(')');
        entries << (description.endsWith(shown) ? description
                                                : description + QLatin1Char(' ') + shown);
    }
    return entries.join(QStringLiteral(";;"));
}
} // namespace

UserInterface::Answer DesktopUserInterface::messageBox(
    const QString &text, Buttons buttons, Icon icon, const QString &caption)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption.isEmpty() ? applicationTitle() : caption);
    box.setText(forDisplay(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? Yes : No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Ok;
}

void DesktopUserInterface::showMenu(QMenu &menu, const QPoint &at)
{
    menu.exec(at);
}

bool DesktopUserInterface::printDialog(QPrinter &printer, int pageCount)
{
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setMinMax(1, pageCount);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setOption(QAbstractPrintDialog::PrintToFile);
    return dialog.exec() == QDialog::Accepted;
}

QString DesktopUserInterface::saveFileName(
    const QString &title, const QString &filter, const QString &fileName, const QString &folder)
{
    const QString start = folder.isEmpty() ? fileName
        : fileName.isEmpty()               ? folder
                                           : QDir(folder).filePath(fileName);
    // The program asks about overwriting itself, and uses the name exactly as typed.
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, start,
        dialogFilter(filter), nullptr, QFileDialog::DontConfirmOverwrite);
}

QString DesktopUserInterface::openFileName(
    const QString &title, const QString &filter, const QString &folder)
{
    return QFileDialog::getOpenFileName(
        QApplication::activeWindow(), title, folder, dialogFilter(filter));
}

void DesktopUserInterface::endProgram()
{
    // A signal from here on ends the program at once.
    ProgramEnd::beginEnding();
    if (beforeEnd)
        beforeEnd();
    // Nothing of the program may run after this, not even the windows' closing steps:
    // no destructor runs (Form1's, or anything after exec() in main), so whatever must
    // be written or ended at the end is done by beforeEnd.
    std::fflush(nullptr);
    std::_Exit(0);
}
