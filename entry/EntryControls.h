#pragma once

#include <QDateEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QTextDocument>
#include <QWidget>

#include <array>
#include <cstddef>

// How the entry window makes its controls: each named, in its parent, so that the
// settings store and the tests find it by that name.
namespace EntryControls {

// Tab leaves the date picker, as in every other field; the arrow keys move between
// day, month and year.
class DatePicker : public QDateEdit
{
public:
    using QDateEdit::QDateEdit;

protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

template<typename Control> Control *control(QWidget *parent, const QString &name)
{
    auto *widget = new Control(parent);
    widget->setObjectName(name);
    return widget;
}

template<typename Control> Control *control(QWidget *parent, const char *name)
{
    return control<Control>(parent, QString::fromLatin1(name));
}

// A control array: its elements are named by the array and their index.
template<typename Control, std::size_t size>
std::array<Control *, size> controls(QWidget *parent, const char *name)
{
    std::array<Control *, size> elements {};
    for (std::size_t index = 0; index < size; ++index)
        elements[index]
            = control<Control>(parent, QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index));
    return elements;
}

inline QPlainTextEdit *multiLineBox(QWidget *parent, const char *name)
{
    auto *box = control<QPlainTextEdit>(parent, name);
    box->setTabChangesFocus(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // One line high: keep the text clear of the frame.
    box->document()->setDocumentMargin(2);
    return box;
}

} // namespace EntryControls
