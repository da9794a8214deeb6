#pragma once

#include <QByteArray>
#include <QString>

// The bytes of one resource the program carries, addressed by type and id like
// ":/CUSTOM/104". The memo templates are Word 97-2003 templates of type "CUSTOM":
// 104 Professional, 102 Contemporary, 103 Elegant, 105 Simple, 101 Blue Sky.
// Throws Failure when the program has no such resource.
QByteArray loadResData(int id, const QString &type = QStringLiteral("CUSTOM"));
