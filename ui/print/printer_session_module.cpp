// libkestrow-print.so: the editor's only use of Qt's print support, loaded on
// the first print (see print_module.cpp). Only the factory is exported.
#include "ui/print/printer_session.h"

#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>

namespace {

class QtPrinterSession final : public kestrow::PrinterSession {
public:
    QtPrinterSession()
        : m_printer(QPrinter::HighResolution)
    {
        // The table is 238.7 mm wide: it only fits across a page.
        m_printer.setPageOrientation(QPageLayout::Landscape);
        // Also the name "Print to File (PDF)" offers.
        m_printer.setDocName(QStringLiteral("KnobTable"));
    }

    bool setUp(QWidget* parent) override
    {
        QPrintDialog dialog(&m_printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }

    QPrinter& printer() override { return m_printer; }

    QPaintDevice& paintDevice() override { return m_printer; }

private:
    QPrinter m_printer;
};

} // namespace

extern "C" __attribute__((visibility("default"))) kestrow::PrinterSession* CreatePrinterSessionV1()
{
    return new QtPrinterSession;
}
