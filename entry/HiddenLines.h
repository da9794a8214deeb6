#pragma once

#include <QObject>

class QLabel;
class QPlainTextEdit;

// A box one line high that holds more lines than it shows says so: "+2 lines" at its
// right end, and the whole text as its tooltip. A second To line would otherwise go
// unseen, scrolled out of view.
class HiddenLines : public QObject
{
public:
    explicit HiddenLines(QPlainTextEdit *box);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update();
    int hiddenLines() const;

    QPlainTextEdit *const mBox;
    QLabel *const mMark;
};
