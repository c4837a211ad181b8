#pragma once

#include <QString>

namespace korimo::tools {

// Fills an empty Korimo database with sample cycles for the demonstration data.
void writeDemoData(const QString& path);

} // namespace korimo::tools
