#pragma once

// The first distance of an exported CSV file, as the batch tests read it back.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace kvx::test {

// mm; -1 when the file holds none.  "[距離]", then "group, count", then the
// distance's line.
inline double CsvFirstDistance(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (int i = 1; i + 1 < lines.size(); ++i)
        if (lines[i].trimmed().startsWith("0,") && lines[i].trimmed().endsWith(" 1"))
            return lines[i + 1].split(',').front().trimmed().toDouble();
    return -1;
}

} // namespace kvx::test
