#include "panes/picture_path.h"

#include <algorithm>

#include <QDir>

namespace {

constexpr qsizetype kShownFolderLength = 20;

// Where the file name begins: after the last separator the platform knows.
qsizetype FileNameStart(const QString& path) {
    qsizetype start = path.lastIndexOf(u'/') + 1;
#ifdef _WIN32
    start = std::max(start, path.lastIndexOf(u'\\') + 1);
    start = std::max(start, path.indexOf(u':') + 1);
#endif
    return start;
}

// The last `count` characters of `text`, never cutting a character made of two halves.
QString LastCharacters(const QString& text, qsizetype count) {
    qsizetype start = text.size();
    for (qsizetype taken = 0; taken < count && start > 0; ++taken) {
        --start;
        if (start > 0 && text.at(start).isLowSurrogate() && text.at(start - 1).isHighSurrogate()) {
            --start;
        }
    }
    return text.mid(start);
}

qsizetype CharacterCount(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            ++i;
        }
    }
    return count;
}

}  // namespace

QString ListDisplayText(const QString& path) {
    const qsizetype nameStart = FileNameStart(path);
    qsizetype folderStart = 0;  // a drive comes first where there are drives
#ifdef _WIN32
    if (path.size() >= 2 && path.at(1) == u':') {
        folderStart = 2;
    }
#endif
    const QString drive = path.left(folderStart);
    const QString folder = path.mid(folderStart, nameStart - folderStart);
    if (CharacterCount(folder) <= kShownFolderLength) {
        return path;
    }
    return drive + QDir::separator() + QStringLiteral("...") +
           LastCharacters(folder, kShownFolderLength) + path.mid(nameStart);
}
