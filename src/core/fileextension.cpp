#include "core/fileextension.h"

#include <QFileInfo>

namespace FileExtension {

QString of(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

bool isVideo(const QString &extension)
{
    return QStringLiteral("wmv avi mp4 3gp mov mpeg mpg mpe flv").contains(extension, Qt::CaseSensitive);
}

} // namespace FileExtension
