// The text of an error of any subsystem, as a message shows it.
#pragma once

#include <QString>

#include <exception>

namespace base {

// Every error of this program carries its message in what() as UTF-8; the text is that
// message without surrounding blanks.
inline QString errorText(const std::exception& e)
{
    return QString::fromUtf8(e.what()).trimmed();
}

} // namespace base
