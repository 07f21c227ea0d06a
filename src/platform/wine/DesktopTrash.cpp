#include "DesktopTrash.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <cctype>
#include <sys/stat.h>

namespace tw::wine {

std::string trashInfoPath(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(hex[byte >> 4]);
            encoded.push_back(hex[byte & 15]);
        }
    }
    return encoded;
}

namespace {

/// QFile::moveToTrash (Qt 6.4) writes the Path key unescaped, which file managers read as
/// escaped text: "100%25.tmp" would come back as "100%.tmp". Rewrites that key escaped.
void escapeInfoPath(const std::string& hostPath, const QString& trashedAs)
{
    const QFileInfo trashed(trashedAs);
    QDir trash = trashed.dir();
    trash.cdUp();
    const QString infoPath =
        trash.filePath(QStringLiteral("info/") + trashed.fileName() + QStringLiteral(".trashinfo"));
    QFile info(infoPath);
    if (!info.open(QIODevice::ReadOnly))
        return;
    QByteArray text = info.readAll();
    info.close();
    const QByteArray raw = QByteArray("\nPath=") + QByteArray::fromStdString(hostPath) + '\n';
    const QByteArray escaped =
        QByteArray("\nPath=") + QByteArray::fromStdString(trashInfoPath(hostPath)) + '\n';
    if (raw == escaped || !text.contains(raw))
        return;
    text.replace(raw, escaped);
    QSaveFile rewritten(infoPath);
    if (rewritten.open(QIODevice::WriteOnly) && rewritten.write(text) == text.size())
        rewritten.commit();
}

} // namespace

bool moveToDesktopTrash(const std::string& hostPath)
{
    struct stat st;
    if (hostPath.empty() || hostPath.front() != '/' || ::lstat(hostPath.c_str(), &st) != 0)
        return false;
    QString trashedAs;
    if (!QFile::moveToTrash(QFile::decodeName(hostPath.c_str()), &trashedAs))
        return false;
    escapeInfoPath(hostPath, trashedAs);
    return true;
}

} // namespace tw::wine
