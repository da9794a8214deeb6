#pragma once

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

// The memo entry window's controls, found by their names.
struct Form1Controls
{
    explicit Form1Controls(const QWidget &form)
        : PushButton6(find<QPushButton>(form, "PushButton6"))
        , PushButton2(find<QPushButton>(form, "PushButton2"))
        , PushButton3(find<QPushButton>(form, "PushButton3"))
        , Frame1(find<QGroupBox>(form, "Frame1"))
        , Frame3(find<QGroupBox>(form, "Frame3"))
        , styleNote(find<QLabel>(form, "styleNote"))
        , dtpEventDate(find<QDateEdit>(form, "dtpEventDate"))
        , txtOrgName(find<QLineEdit>(form, "txtOrgName"))
        , txtTo(find<QPlainTextEdit>(form, "txtTo"))
        , txtCC(find<QLineEdit>(form, "txtCC"))
        , txtFrom(find<QPlainTextEdit>(form, "txtFrom"))
        , txtRe(find<QPlainTextEdit>(form, "txtRe"))
        , txtMsg(find<QPlainTextEdit>(form, "txtMsg"))
    {
        for (size_t index = 0; index < Option1.size(); ++index)
            Option1[index] = find<QRadioButton>(form, "Option1_" + std::to_string(index));
        for (size_t row = 0; row < Label4.size(); ++row)
            Label4[row] = find<QLabel>(form, "Label4_" + std::to_string(row));
    }

    QPushButton *PushButton6;
    QPushButton *PushButton2;
    QPushButton *PushButton3;
    QGroupBox *Frame1;
    QGroupBox *Frame3;
    QLabel *styleNote;
    QDateEdit *dtpEventDate;
    QLineEdit *txtOrgName;
    QPlainTextEdit *txtTo;
    QLineEdit *txtCC;
    QPlainTextEdit *txtFrom;
    QPlainTextEdit *txtRe;
    QPlainTextEdit *txtMsg;
    std::array<QRadioButton *, 5> Option1 {};
    std::array<QLabel *, 7> Label4 {};

private:
    // A control that is missing or of another kind ends the test program at once.
    template<typename Control> static Control *find(const QWidget &form, const std::string &name)
    {
        auto *found = form.findChild<Control *>(QString::fromStdString(name));
        if (!found) {
            std::fprintf(
                stderr, "Form1 has no control \"%s\" of the expected kind\n", name.c_str());
            std::abort();
        }
        return found;
    }
};

inline Form1Controls controls(const QWidget &form)
{
    return Form1Controls(form);
}
