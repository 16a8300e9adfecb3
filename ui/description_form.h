#pragma once

#include "core/preset_bank.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>

class QPrinter;

namespace kestrow {

class PrinterSession;

/// The knob table window: 4 or 8 consecutive presets drawn at their physical
/// size, and the printing of the same table. Lives for the whole run; closing
/// only hides it.
class TDescriptionForm : public QWidget {
    Q_OBJECT

public:
    /// Prepares the printer (dialog, output) before a print; false cancels.
    using PrinterSetup = std::function<bool(QPrinter&)>;

    explicit TDescriptionForm(QWidget* parent = nullptr);
    ~TDescriptionForm() override;

    /// Shows presetCount (4 or 8) presets of bank from index firstPreset
    /// (0..127; wraps after index 127). The bank must outlive the window's use.
    void showKnobTable(const PresetBank& bank, int firstPreset, int presetCount);

    /// Prints presetCount presets from firstPreset on one page at the printer's
    /// resolution. Returns false when the set-up was cancelled or printing failed;
    /// when printing is not available at all, says why through showWarning first.
    bool printKnobTable(const PresetBank& bank, int firstPreset, int presetCount);

    /// Replaces the printer set-up dialog (tests print to a file without it).
    void setPrinterSetup(PrinterSetup setup);

    /// Tells the user something went wrong (a message box; tests replace it).
    std::function<void(const QString& title, const QString& text)> showWarning;

    int firstPreset() const { return m_firstPreset; }
    int presetCount() const { return m_presetCount; }
    /// The drawn table as shown (96 dpi).
    const QImage& surface() const { return m_surface; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void redraw();
    void moveTo(int firstPreset);
    int lastFirstPreset() const { return kPresetCount - m_presetCount; }
    bool runPrinterSetup(PrinterSession& session);

    const PresetBank* m_bank = nullptr;
    int m_firstPreset = 0;
    int m_presetCount = 4;
    int m_wheelRemainder = 0;
    QImage m_surface;
    std::unique_ptr<PrinterSession> m_printer;
    PrinterSetup m_printerSetup;
};

} // namespace kestrow
