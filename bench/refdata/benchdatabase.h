// The benchmark databases of a million rates: made once by isql from a fill script and
// kept in the build folder between runs, made anew when the schema or the script changes
// (and, for data dated from today, on another day).
#pragma once

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>
#include <stdexcept>

namespace benchsupport {

enum class Dated { Fixed, FromToday };

// The database file name (in build/bench-data), created by make-refdb (with the sample
// data when sample is true) and filled by the isql script fill. The script runs through
// isql rather than a statement of the program: an execute block's variables would read
// as statement parameters there.
inline QString benchmarkDatabase(const QString& name, bool sample, const char* fill,
                                 Dated dated = Dated::Fixed)
{
    const QString dir = QStringLiteral(SPRRATE_SOURCE_DIR "/build/bench-data");
    const QString path = dir + u'/' + name;
    const QString done = path + QStringLiteral(".done"); // holds the digest once full

    QCryptographicHash hash(QCryptographicHash::Sha1);
    {
        QFile schema(QStringLiteral(SPRRATE_SOURCE_DIR "/refdata/schema.sql"));
        if (!schema.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read the schema");
        hash.addData(schema.readAll());
    }
    hash.addData(QByteArrayView(fill));
    hash.addData(QByteArrayView(sample ? "sample" : "empty"));
    if (dated == Dated::FromToday)
        hash.addData(QDate::currentDate().toString(Qt::ISODate).toLatin1());
    const QByteArray digest = hash.result().toHex();
    {
        QFile marker(done);
        if (marker.open(QIODevice::ReadOnly) && marker.readAll() == digest)
            return path;
    }

    QFile::remove(done);
    QDir().mkpath(dir);
    QFile::remove(path);
    const std::string makeRefdb = std::string("'" SPRRATE_SOURCE_DIR "/scripts/make-refdb' ") +
                                  (sample ? "--sample " : "") + "'" + path.toStdString() +
                                  "' >/dev/null";
    if (std::system(makeRefdb.c_str()) != 0)
        throw std::runtime_error("make-refdb failed");
    const QString script = path + QStringLiteral(".fill.sql");
    {
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly) || f.write(fill) < 0)
            throw std::runtime_error("cannot write the fill script");
    }
    const std::string isql =
        "isql-fb -q -b -i '" + script.toStdString() + "' '" + path.toStdString() + "' >/dev/null";
    if (std::system(isql.c_str()) != 0)
        throw std::runtime_error("filling the benchmark database failed");
    QFile marker(done);
    if (!marker.open(QIODevice::WriteOnly) || marker.write(digest) < 0)
        throw std::runtime_error("cannot mark the benchmark database complete");
    return path;
}

} // namespace benchsupport
