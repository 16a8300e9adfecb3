#pragma once

#include "core/catalogue.h"
#include "core/preset_bank.h"

#include <QWidget>

#include <string>
#include <vector>

class QMenu;
class QPlainTextEdit;

namespace kestrow {

/// The text window for parameter and knob-name listings. Its text accumulates
/// across commands until "Clear" or one of the "all presets" commands.
class TDisplayForm : public QWidget {
    Q_OBJECT

public:
    explicit TDisplayForm(QWidget* parent = nullptr);

    /// Appends the parameter listing of preset index presetIndex (0..127).
    void appendParameters(const Catalogue& catalogue, const PresetBank& bank, int presetIndex);
    /// Appends the knob-name listing of preset index presetIndex (0..127).
    void appendKnobNames(const PresetBank& bank, int presetIndex);

    /// "Display All Parameters": replaces the text with the listings of all 128 presets.
    void showAllParameters(const Catalogue& catalogue, const PresetBank& bank);
    /// "Display All Knob Names": replaces the text with all 128 knob-name listings.
    void showAllKnobNames(const PresetBank& bank);
    /// "Display Preset Parameters": appends one preset's listing and shows the window.
    void showPresetParameters(const Catalogue& catalogue, const PresetBank& bank, int presetIndex);
    /// "Display Knob Names": appends one preset's knob names and shows the window.
    void showPresetKnobNames(const PresetBank& bank, int presetIndex);

    /// Empties the text, as the popup menu's "Clear" does.
    void clear();
    /// The text as shown (UTF-8), lines separated by '\n'.
    QString text() const;
    QPlainTextEdit* textArea() const { return m_text; }
    /// The text area's popup menu (one item, "Clear").
    QMenu* popupMenu() const { return m_popup; }

private:
    void appendLines(const std::vector<std::string>& lines);
    void showContextMenu(const QPoint& position);
    void bringToFront();

    QPlainTextEdit* m_text = nullptr;
    QMenu* m_popup = nullptr;
};

} // namespace kestrow
