#pragma once

#include "ui/print/printer_session.h"

#include <QString>

#include <memory>

namespace kestrow {

/// A new printer session from libkestrow-print.so: the file named by
/// KESTROW_PRINT_MODULE, else the one beside the program's real path, else the
/// library path's. The module is loaded on the first call and stays loaded.
/// Returns null and sets failure to the reason when it cannot be loaded or
/// lacks the factory; nothing else changes then, and a later call tries again.
std::unique_ptr<PrinterSession> createPrinterSession(QString& failure);

} // namespace kestrow
