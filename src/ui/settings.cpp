#include "ui/settings.h"

#include "ui/messagebox.h"

#include <QSettings>

namespace {

QSettings store(const QString &application)
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, application);
}

} // namespace

QString Settings::read(const QString &application, const QString &section, const QString &key,
                       const QString &defaultValue)
{
    return store(application).value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void Settings::write(const QString &application, const QString &section, const QString &key, const QString &value)
{
    QSettings s = store(application);
    s.setValue(section + QLatin1Char('/') + key, value);
    s.sync();
}

QString Settings::dataFolder()
{
    return read(Msg::programTitle(), QStringLiteral("main_path"), QStringLiteral("path"), kUnset);
}

QString Settings::databaseFile()
{
    return read(Msg::programTitle(), QStringLiteral("main_path"), QStringLiteral("data"), kUnset);
}

void Settings::saveLocation(const QString &folder, const QString &file)
{
    write(Msg::programTitle(), QStringLiteral("main_path"), QStringLiteral("path"), folder);
    write(Msg::programTitle(), QStringLiteral("main_path"), QStringLiteral("data"), file);
}

int Settings::busyTimeout()
{
    bool ok = false;
    const int ms = read(Msg::programTitle(), QStringLiteral("database"), QStringLiteral("busy_timeout"),
                        QStringLiteral("5000"))
                       .toInt(&ok);
    return ok && ms >= 0 ? ms : 5000;
}
