#pragma once

class QPaintDevice;
class QPrinter;
class QWidget;

namespace kestrow {

/// One printer kept for the run, with the options the user chose for it.
/// Implemented in libkestrow-print.so, which alone links Qt's print support,
/// so the editor loads that only when the user first prints. The caller
/// never needs QPrinter's definition: it paints on paintDevice().
class PrinterSession {
public:
    virtual ~PrinterSession() = default;

    /// Shows the print set-up dialog over parent; false when the user cancels.
    /// The choices stay with the session for the next print.
    virtual bool setUp(QWidget* parent) = 0;

    /// The printer itself, for a caller that sets it up without the dialog.
    virtual QPrinter& printer() = 0;

    /// The printer as a device to paint one page on, as set up.
    virtual QPaintDevice& paintDevice() = 0;

protected:
    PrinterSession() = default;
    PrinterSession(const PrinterSession&) = delete;
    PrinterSession& operator=(const PrinterSession&) = delete;
};

/// The module's one exported function: a new session (landscape, high
/// resolution, document "KnobTable"), owned by the caller. The version in the
/// name changes whenever PrinterSession does, so a stale module is refused.
using CreatePrinterSessionFunction = PrinterSession* (*)();
inline constexpr const char* kCreatePrinterSessionName = "CreatePrinterSessionV1";

} // namespace kestrow
