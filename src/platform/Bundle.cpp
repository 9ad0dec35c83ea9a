// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Bundle.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace platform {

Bundle& Bundle::mainBundle()
{
    static Bundle bundle(QStringLiteral(":/"));
    return bundle;
}

Bundle::Bundle(QString root) : root_(std::move(root))
{
    if (!root_.endsWith(QLatin1Char('/')))
        root_ += QLatin1Char('/');
}

QString Bundle::pathForResource(const QString& name, const QString& type) const
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || type.contains(QLatin1Char('/')))
        return QString();
    const QString fileName = type.isEmpty() ? name : name + QLatin1Char('.') + type;

    const QString atRoot = root_ + fileName;
    if (QFileInfo(atRoot).isFile())
        return atRoot;

    QStringList found;
    QDirIterator it(root_, QStringList{fileName}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(it.next());
    if (found.isEmpty())
        return QString();
    std::sort(found.begin(), found.end());
    return found.first();
}

QUrl Bundle::URLForResource(const QString& name, const QString& type) const
{
    return fileURLWithPath(pathForResource(name, type));
}

QUrl Bundle::fileURLWithPath(const QString& path)
{
    if (path.isEmpty())
        return QUrl();
    if (path.startsWith(QLatin1Char(':'))) {
        QUrl url;
        url.setScheme(QStringLiteral("qrc"));
        url.setPath(path.mid(1));
        return url;
    }
    return QUrl::fromLocalFile(path);
}

} // namespace platform
