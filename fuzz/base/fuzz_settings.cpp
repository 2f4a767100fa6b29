// The settings file reader and writer on arbitrary bytes: reading never fails, and a key
// written into any file reads back as written, with every other key unchanged.
#include "base/inifile.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {
constexpr QStringView sections[] = {u"MAIN", u"WINDOW", u"main", u"RATEWINDOW"};
constexpr QStringView keys[] = {u"FAREREGEXP", u"TAXMASK", u"left", u"CURRENCYTO", u"X"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const QStringView section = sections[data[0] % std::size(sections)];
    const QStringView key = keys[data[1] % std::size(keys)];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    base::IniFile ini(QString{});
    ini.parse(bytes);
    QString before[std::size(sections)][std::size(keys)];
    for (std::size_t s = 0; s < std::size(sections); ++s) {
        for (std::size_t k = 0; k < std::size(keys); ++k) {
            before[s][k] = ini.readString(sections[s], keys[k], QStringLiteral("<none>"));
            if (before[s][k].size() > base::IniFile::MaxValueLength)
                std::abort();
        }
    }

    // A value as a user could type it: one line, without blanks around it.
    QString value = QString::fromUtf8(bytes.left(64)).trimmed();
    value = value.left(value.indexOf(u'\n') < 0 ? value.size() : value.indexOf(u'\n'));
    value = value.left(value.indexOf(u'\r') < 0 ? value.size() : value.indexOf(u'\r')).trimmed();
    ini.writeString(section, key, value);

    base::IniFile again(QString{});
    again.parse(ini.serialize());
    if (again.readString(section, key, QStringLiteral("<none>")) != value)
        std::abort();
    for (std::size_t s = 0; s < std::size(sections); ++s) {
        for (std::size_t k = 0; k < std::size(keys); ++k) {
            const bool written = sections[s].compare(section, Qt::CaseInsensitive) == 0 &&
                                 keys[k].compare(key, Qt::CaseInsensitive) == 0;
            if (!written && again.readString(sections[s], keys[k], QStringLiteral("<none>")) != before[s][k])
                std::abort();
        }
    }
    return 0;
}
