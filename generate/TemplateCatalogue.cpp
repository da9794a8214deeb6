#include "TemplateCatalogue.h"

#include "Failure.h"

#include <QFile>

QByteArray loadResData(int id, const QString &type)
{
    QFile resource(QStringLiteral(":/%1/%2").arg(type).arg(id));
    if (!resource.open(QIODevice::ReadOnly))
        fail(QStringLiteral("The program carries no resource %1 of type \"%2\"; "
                            "it may be damaged and should be installed again.")
                 .arg(id)
                 .arg(type));
    return resource.readAll();
}
