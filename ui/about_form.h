#pragma once

#include <QDialog>

class QLabel;

namespace kestrow {

/// The about box: a picture of a controller and the version of this build.
class TAboutForm : public QDialog {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);

    /// "Version 0.1.0" for this build.
    static QString versionLine();

    /// The picture at its natural size, as the box shows it, drawn for
    /// `pixelRatio` device pixels per pixel.
    static QImage picture(qreal pixelRatio = 1.0);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_picture = nullptr;
};

} // namespace kestrow
