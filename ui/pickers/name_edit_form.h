#pragma once

#include <QDialog>

#include <optional>

class QLineEdit;

namespace kestrow {

/// The small text box used for number entry in the knob table and for
/// renaming a preset in the tree. Enter accepts, Escape cancels.
class TNameEditForm : public QDialog {
    Q_OBJECT
public:
    explicit TNameEditForm(QWidget* parent = nullptr);

    /// Shows the box with text, caret after its last character; returns the
    /// edited text, or nullopt when cancelled (closing the window counts as cancel).
    std::optional<QString> editNumber(const QString& text);

    QLineEdit* lineEdit() const { return m_edit; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_edit = nullptr;
};

} // namespace kestrow
