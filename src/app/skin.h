#pragma once

class QApplication;

namespace korimo {

// The program's one fixed look: a style sheet that only colours the standard controls. It sets no
// size, margin or padding, so every control stays exactly where the layout puts it.
void applySkin(QApplication& app);

} // namespace korimo
