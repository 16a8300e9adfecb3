#include "ui/pickers/name_edit_form.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace kestrow {

namespace {

    /// Puts the caret after the last character whenever the field gets the focus.
    class CaretAtEndEdit : public QLineEdit {
    public:
        using QLineEdit::QLineEdit;

    protected:
        void focusInEvent(QFocusEvent* event) override
        {
            // The base class may select everything on focus; the caret goes to the end instead.
            QLineEdit::focusInEvent(event);
            deselect();
            end(false);
        }
    };

} // namespace

TNameEditForm::TNameEditForm(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Edit Parameter"));
    setModal(true);
    setFixedSize(195, 69);
    m_edit = new CaretAtEndEdit(this);
    m_edit->setGeometry(12, 20, 171, 24);
}

std::optional<QString> TNameEditForm::editNumber(const QString& text)
{
    m_edit->setText(text);
    m_edit->deselect();
    m_edit->end(false);
    m_edit->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_edit->text();
}

void TNameEditForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        break;
    case Qt::Key_Escape:
        reject();
        break;
    default:
        QDialog::keyPressEvent(event);
        break;
    }
}

} // namespace kestrow
