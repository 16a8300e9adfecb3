#pragma once

class QWidget;

namespace kestrow {

/// Widens every label and button under `root` that was placed by hand (not
/// in a layout) to the width its text needs, and grows the boxes holding
/// them, and `root`, to keep them inside: with the desktop's larger fonts a
/// caption grows instead of being cut. Widgets that fit are left alone.
void fitTextWidgets(QWidget& root);

} // namespace kestrow
