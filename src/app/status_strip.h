#pragma once

#include <QWidget>

namespace korimo {

// The two decorative status bars of the main window: 18 sunken panels of 47 pixels, each reading
// ":::::::::" except the eighth, which is drawn empty. They never change.
class StatusStrip : public QWidget {
public:
    static constexpr int kPanels = 18;
    static constexpr int kPanelWidth = 47;
    static constexpr int kEmptyPanel = 7; // 0-based: the eighth

    explicit StatusStrip(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace korimo
