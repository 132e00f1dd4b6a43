#pragma once

// The dark palette the screenshot helpers render with, close to the dark
// themes of Plasma and GNOME, so the pictures show what palette colours do
// there.

#include <QColor>
#include <QPalette>

namespace TestData {

inline QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2a, 0x2e, 0x32), base(0x1b, 0x1e, 0x20), text(0xfc, 0xfc, 0xfc);
    const QColor disabled(0x6e, 0x73, 0x78);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x31, 0x36, 0x3b));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, text);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0xa1, 0xa9, 0xb1));
    p.setColor(QPalette::Light, QColor(0x40, 0x46, 0x4c));
    p.setColor(QPalette::Mid, QColor(0x24, 0x27, 0x2a));
    p.setColor(QPalette::Dark, QColor(0x18, 0x1a, 0x1c));
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

} // namespace TestData
