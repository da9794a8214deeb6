/* Scrivane skin: a Qt style sheet for the main window.
   Ink blue (#1f5aa3) and paper white, after the application icon. The window's
   geometry and fonts are fixed by its layout, so nothing here changes a font or
   adds height to a control. */

*[skinned="true"] {
    background-color: #eef2f7;
}

/* Group boxes are white cards; their caption sits on the top edge as a tab. */
QGroupBox {
    background-color: #ffffff;
    border: 1px solid #cfd7e2;
    border-radius: 6px;
    margin-top: 8px;
}

QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 10px;
    padding: 0px 6px;
    color: #ffffff;
    background-color: #1f5aa3;
    border-radius: 3px;
}

QLabel {
    background: transparent;
    color: #3a4555;
}

QRadioButton, QCheckBox {
    background: transparent;
    color: #1f2a37;
    spacing: 6px;
}

QRadioButton::indicator {
    width: 12px;
    height: 12px;
    border: 1px solid #8c98a8;
    border-radius: 7px;
    background-color: #ffffff;
}

QRadioButton::indicator:hover {
    border-color: #1f5aa3;
}

QRadioButton::indicator:checked {
    border: 1px solid #1f5aa3;
    background-color: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
                                      stop: 0 #1f5aa3, stop: 0.45 #1f5aa3,
                                      stop: 0.55 #ffffff, stop: 1 #ffffff);
}

QRadioButton::indicator:disabled {
    border-color: #c4ccd6;
    background-color: #f1f3f6;
}

/* Text boxes and the date picker. */
QLineEdit, QPlainTextEdit, QTextEdit, QDateEdit {
    background-color: #ffffff;
    color: #17212c;
    border: 1px solid #b6c1ce;
    border-radius: 3px;
    selection-background-color: #1f5aa3;
    selection-color: #ffffff;
}

/* The same left margin for one-line and multi-line boxes, so their texts line up. */
QLineEdit, QDateEdit, QPlainTextEdit, QTextEdit {
    padding: 0px 0px 0px 3px;
}

QLineEdit:hover, QPlainTextEdit:hover, QTextEdit:hover, QDateEdit:hover {
    border-color: #7f97b6;
}

QLineEdit:focus, QPlainTextEdit:focus, QTextEdit:focus, QDateEdit:focus {
    border-color: #1f5aa3;
}

QDateEdit::drop-down {
    subcontrol-origin: padding;
    subcontrol-position: center right;
    width: 20px;
    border: none;
    border-left: 1px solid #dbe1e9;
    border-top-right-radius: 2px;
    border-bottom-right-radius: 2px;
    background-color: #f4f7fa;
}

QDateEdit::drop-down:hover {
    background-color: #e1ebf7;
}

QDateEdit::down-arrow {
    image: url(:/scrivane/skin/arrow-down.png);
    width: 10px;
    height: 10px;
}

QPlainTextEdit QScrollBar:vertical, QTextEdit QScrollBar:vertical {
    width: 12px;
    margin: 0px;
    border: none;
    background: #f3f5f8;
}

QScrollBar::handle:vertical {
    min-height: 24px;
    margin: 2px;
    border-radius: 4px;
    background: #c2cad5;
}

QScrollBar::handle:vertical:hover {
    background: #9fadbf;
}

QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical {
    height: 0px;
    border: none;
}

QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical {
    background: transparent;
}

/* Push buttons: quiet secondary buttons; "Start Creating Template" is the one to press. */
QPushButton {
    color: #1d2733;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #e8edf3);
    border: 1px solid #a9b5c4;
    border-radius: 4px;
    padding: 0px 12px;
}

QPushButton:hover {
    border-color: #1f5aa3;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #dfe9f5);
}

QPushButton:pressed {
    background-color: #d5e1ef;
    border-color: #184a88;
}

QPushButton:focus {
    border-color: #1f5aa3;
}

QPushButton:disabled {
    color: #9aa5b3;
    background-color: #f0f2f5;
    border-color: #cdd4dd;
}

QPushButton#PushButton6 {
    color: #ffffff;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #3479c6, stop: 1 #1c5296);
    border: 1px solid #174580;
}

QPushButton#PushButton6:hover {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #4288d4, stop: 1 #225da6);
}

QPushButton#PushButton6:pressed {
    background-color: #184a88;
}

QPushButton#PushButton6:focus {
    border: 1px solid #0f3566;
}

QPushButton#PushButton6:disabled {
    color: #dfe7f1;
    background-color: #8eaacb;
    border-color: #7f9cbf;
}

/* The date picker's calendar. */
QCalendarWidget QWidget#qt_calendar_navigationbar {
    background-color: #1f5aa3;
}

QCalendarWidget QToolButton {
    color: #ffffff;
    background: transparent;
    border: none;
    border-radius: 3px;
    padding: 2px 6px;
}

QCalendarWidget QToolButton:hover {
    background-color: #2f6fb8;
}

QCalendarWidget QToolButton#qt_calendar_prevmonth {
    qproperty-icon: url(:/scrivane/skin/arrow-left-light.png);
}

QCalendarWidget QToolButton#qt_calendar_nextmonth {
    qproperty-icon: url(:/scrivane/skin/arrow-right-light.png);
}

QCalendarWidget QToolButton::menu-indicator {
    image: url(:/scrivane/skin/arrow-down-light.png);
    subcontrol-origin: padding;
    subcontrol-position: center right;
    width: 10px;
    height: 10px;
}

QCalendarWidget QToolButton#qt_calendar_monthbutton {
    padding-right: 16px;
}

QCalendarWidget QMenu {
    background-color: #ffffff;
    color: #1d2733;
    border: 1px solid #b6c1ce;
}

QCalendarWidget QMenu::item:selected {
    background-color: #1f5aa3;
    color: #ffffff;
}

QCalendarWidget QSpinBox {
    color: #ffffff;
    background: transparent;
    border: none;
    selection-background-color: #ffffff;
    selection-color: #1f5aa3;
}

QCalendarWidget QAbstractItemView {
    background-color: #ffffff;
    color: #1d2733;
    selection-background-color: #1f5aa3;
    selection-color: #ffffff;
    outline: 0px;
}
