#include "ui/about_form.h"

#include "ui/build_info.h"

#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

namespace kestrow {

namespace {

    constexpr int kPictureWidth = 360;
    constexpr int kPictureHeight = 150;

    // A controller seen from above: a dark panel with two rows of eight knobs,
    // each pointing somewhere else, and a lit status lamp.
    void drawController(QPainter& painter, const QRectF& area)
    {
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF body = area.adjusted(6, 10, -6, -10);
        painter.setPen(QPen(QColor(20, 20, 24), 2));
        QLinearGradient panel(body.topLeft(), body.bottomLeft());
        panel.setColorAt(0, QColor(74, 78, 88));
        panel.setColorAt(1, QColor(38, 40, 46));
        painter.setBrush(panel);
        painter.drawRoundedRect(body, 10, 10);

        const double pitch = body.width() / 8.5;
        const double radius = pitch * 0.32;
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 8; ++column) {
                const QPointF centre(body.left() + pitch * (column + 0.75),
                    body.top() + body.height() * (row == 0 ? 0.36 : 0.74));
                QRadialGradient cap(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
                cap.setColorAt(0, QColor(235, 235, 240));
                cap.setColorAt(1, QColor(120, 122, 130));
                painter.setPen(QPen(QColor(15, 15, 18), 1.2));
                painter.setBrush(cap);
                painter.drawEllipse(centre, radius, radius);
                // Pointer angles sweep over the knobs, so no two look alike.
                const double angle
                    = (225.0 - (row * 8 + column) * 270.0 / 15.0) * std::numbers::pi / 180.0;
                const QPointF tip(centre.x() + std::cos(angle) * radius * 0.85,
                    centre.y() - std::sin(angle) * radius * 0.85);
                painter.setPen(QPen(QColor(200, 60, 30), 2.2, Qt::SolidLine, Qt::RoundCap));
                painter.drawLine(centre, tip);
            }
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(90, 220, 110));
        painter.drawEllipse(QPointF(body.right() - pitch * 0.35, body.top() + 12), 3.5, 3.5);
        painter.setPen(QColor(220, 222, 228));
        QFont label;
        label.setFamilies({ QStringLiteral("Liberation Sans"), QStringLiteral("Arial") });
        label.setPixelSize(10);
        label.setBold(true);
        painter.setFont(label);
        painter.drawText(QRectF(body.left() + 12, body.top() + 4, body.width() / 2, 14),
            Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KESTROW"));
    }

} // namespace

QImage TAboutForm::picture(qreal pixelRatio)
{
    QImage image(
        QSize(kPictureWidth, kPictureHeight) * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawController(painter, QRectF(0, 0, kPictureWidth, kPictureHeight));
    return image;
}

QString TAboutForm::versionLine()
{
    return QStringLiteral("Version ") + QString::fromLatin1(buildVersion());
}

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));
    setModal(true);

    // The picture is drawn when the box is first shown, not at start-up.
    m_picture = new QLabel(this);
    m_picture->setFixedSize(kPictureWidth, kPictureHeight);
    m_picture->setAlignment(Qt::AlignCenter);

    auto* nameLabel = new QLabel(QStringLiteral("<b>Kestrow Editor</b>"), this);
    nameLabel->setAlignment(Qt::AlignCenter);
    auto* roleLabel = new QLabel(
        QStringLiteral("Editor and librarian for zembraControl, zembraFader and zembraDial"), this);
    roleLabel->setAlignment(Qt::AlignCenter);
    auto* versionLabel = new QLabel(versionLine(), this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setAlignment(Qt::AlignCenter);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_picture);
    layout->addWidget(nameLabel);
    layout->addWidget(roleLabel);
    layout->addWidget(versionLabel);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutForm::showEvent(QShowEvent* event)
{
    if (m_picture->pixmap().isNull()
        || m_picture->pixmap().devicePixelRatio() != m_picture->devicePixelRatioF())
        m_picture->setPixmap(QPixmap::fromImage(picture(m_picture->devicePixelRatioF())));
    QDialog::showEvent(event);
}

} // namespace kestrow
