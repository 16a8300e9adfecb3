#include "ui/description_form.h"

#include "ui/knob_table_layout.h"
#include "ui/print/print_module.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace kestrow {

namespace {

    // The frame the window sizing rule allows for around the surface.
    constexpr int kFrameWidth = 10;
    constexpr int kFrameHeight = 30;
    // One notch of an ordinary mouse wheel.
    constexpr int kWheelNotch = 120;

    int validPresetCount(int presetCount) { return std::clamp(presetCount, 1, kPresetCount); }

    int validPresetIndex(int presetIndex) { return knobTableBlockPreset(presetIndex, 0); }

} // namespace

TDescriptionForm::TDescriptionForm(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("DescriptionForm"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    showWarning = [this](const QString& title, const QString& text) {
        QMessageBox::warning(this, title, text, QMessageBox::Ok);
    };
}

TDescriptionForm::~TDescriptionForm() = default;

void TDescriptionForm::showKnobTable(const PresetBank& bank, int firstPreset, int presetCount)
{
    m_bank = &bank;
    m_presetCount = validPresetCount(presetCount);
    m_firstPreset = validPresetIndex(firstPreset);
    m_wheelRemainder = 0;
    redraw();
    show();
    raise();
    activateWindow();
}

void TDescriptionForm::redraw()
{
    if (!m_bank)
        return;
    const int dpi = knob_table::kScreenDpi;
    const QSize surfaceSize = knobTableSurfaceSize(m_presetCount, dpi, dpi);
    // Laid out at 96 dpi; on a high-density screen the same layout is drawn
    // with more device pixels so the names stay sharp.
    const qreal pixelRatio = devicePixelRatioF();
    m_surface = QImage(surfaceSize * pixelRatio, QImage::Format_RGB32);
    m_surface.setDevicePixelRatio(pixelRatio);
    m_surface.fill(palette().color(QPalette::Window));
    {
        QPainter painter(&m_surface);
        drawKnobTable(painter, *m_bank, m_firstPreset, m_presetCount, dpi, dpi);
    }
    // The rule sizes the outer window; the frame is the window manager's, so
    // the client area is what remains once the frame allowance is taken off.
    const QSize outer = knobTableWindowSize(surfaceSize, height() + kFrameHeight);
    setFixedSize(outer.width() - kFrameWidth, outer.height() - kFrameHeight);
    update();
}

void TDescriptionForm::moveTo(int firstPreset)
{
    if (firstPreset == m_firstPreset)
        return;
    m_firstPreset = firstPreset;
    redraw();
}

void TDescriptionForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_PageUp:
        moveTo(std::max(m_firstPreset - m_presetCount, 0));
        break;
    case Qt::Key_PageDown:
        moveTo(std::min(m_firstPreset + m_presetCount, lastFirstPreset()));
        break;
    case Qt::Key_Up:
        moveTo(std::max(m_firstPreset - 1, 0));
        break;
    case Qt::Key_Down:
        moveTo(std::min(m_firstPreset + 1, lastFirstPreset()));
        break;
    case Qt::Key_Home:
        moveTo(0);
        break;
    case Qt::Key_End:
        moveTo(lastFirstPreset());
        break;
    case Qt::Key_Escape:
        close();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TDescriptionForm::wheelEvent(QWheelEvent* event)
{
    // Fine-grained wheels and touchpads send fractions of a notch; one preset
    // per whole notch keeps them at the pace of an ordinary wheel.
    m_wheelRemainder += event->angleDelta().y();
    while (m_wheelRemainder >= kWheelNotch) {
        m_wheelRemainder -= kWheelNotch;
        moveTo(std::max(m_firstPreset - 1, 0));
    }
    while (m_wheelRemainder <= -kWheelNotch) {
        m_wheelRemainder += kWheelNotch;
        moveTo(std::min(m_firstPreset + 1, lastFirstPreset()));
    }
    event->accept();
}

void TDescriptionForm::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!m_surface.isNull())
        painter.drawImage(0, 0, m_surface);
}

void TDescriptionForm::setPrinterSetup(PrinterSetup setup) { m_printerSetup = std::move(setup); }

bool TDescriptionForm::runPrinterSetup(PrinterSession& session)
{
    if (m_printerSetup)
        return m_printerSetup(session.printer());
    return session.setUp(this);
}

bool TDescriptionForm::printKnobTable(const PresetBank& bank, int firstPreset, int presetCount)
{
    if (!m_printer) {
        // Kept for the run, so the printer and its options chosen once stay
        // chosen.
        QString failure;
        m_printer = createPrinterSession(failure);
        if (!m_printer) {
            showWarning(QStringLiteral("Kestrow Editor"),
                QStringLiteral("Printing is not available: %1").arg(failure));
            return false;
        }
    }
    if (!runPrinterSetup(*m_printer))
        return false;

    QPainter painter;
    if (!painter.begin(&m_printer->paintDevice()))
        return false;
    const int dpiX = painter.device()->logicalDpiX();
    const int dpiY = painter.device()->logicalDpiY();
    drawKnobTable(
        painter, bank, validPresetIndex(firstPreset), validPresetCount(presetCount), dpiX, dpiY);
    return painter.end();
}

} // namespace kestrow
