// SPDX-License-Identifier: GPL-3.0-or-later
// Where the app's resources (images, sounds, forms) are found by name and
// type.
#pragma once

#include <QString>
#include <QUrl>

namespace platform {

// The application package: resources found by name and type. The main
// bundle is the Qt resource system (":/"); a bundle can also be rooted in a
// directory on disk.
class Bundle {
public:
    static Bundle& mainBundle();

    explicit Bundle(QString root);

    // The path of <name>.<type>: at the root first, else in the first
    // subfolder (in name order) that has it. Empty when there is none.
    // A resource path (":/click.wav") works with QFile and QSoundEffect
    // through fileURLWithPath.
    QString pathForResource(const QString& name, const QString& type) const;
    QUrl URLForResource(const QString& name, const QString& type) const;

    // A URL for a path: "qrc:" for a resource path, "file:" otherwise, empty for an empty path.
    static QUrl fileURLWithPath(const QString& path);

    const QString& root() const { return root_; }

private:
    QString root_;
};

} // namespace platform
