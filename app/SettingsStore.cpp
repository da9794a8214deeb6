#include "SettingsStore.h"

#include "Failure.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
QString userSettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + QString::fromLatin1(SettingsStore::kApplication)
        + QStringLiteral(".conf");
}

QString fullKey(const QString &key)
{
    return QString::fromLatin1(SettingsStore::kSection) + QLatin1Char('/') + key;
}
} // namespace

SettingsStore::SettingsStore()
    : mFileName(userSettingsFile())
{ }

SettingsStore::SettingsStore(QString fileName)
    : mFileName(std::move(fileName))
{ }

QString SettingsStore::GetSetting(const QString &key, const QString &defaultValue) const
{
    // A fresh reader each time: no value is cached between calls.
    QSettings settings(mFileName, QSettings::IniFormat);
    const QVariant value = settings.value(fullKey(key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::SaveSetting(const QString &key, const QString &value)
{
    QSettings settings(mFileName, QSettings::IniFormat);
    settings.setValue(fullKey(key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        fail(QStringLiteral("The setting \"%1\" could not be written to %2.").arg(key, mFileName));
}
