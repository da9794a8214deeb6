#pragma once

#include <QWidget>

// The memo entry window. (Being built.)
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
};
