#pragma once

#include <QString>

namespace korimo::platform {

// Reads one value of an INI file the way the classic profile reader does: section and key names
// without regard to case, the first matching section and key win, blanks around names and values
// are dropped, a value wrapped in matching quotes loses them, and a value is cut after 2047 bytes.
// A missing file, section or key reads as the empty text. The file may be UTF-8 or GBK.
QString readIniString(const QString& file, const QString& section, const QString& key);

} // namespace korimo::platform
