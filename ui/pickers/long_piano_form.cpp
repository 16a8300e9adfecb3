#include "ui/pickers/long_piano_form.h"

#include "core/text_codec.h"
#include "ui/pickers/grid_picker.h"
#include "ui/screen_pointer.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <array>

namespace kestrow {

namespace {

    constexpr int kOctaveWidth = 70;
    constexpr int kUpperBottom = 36; ///< last row of the upper (black key) part
    constexpr int kHighestNote = 127;

    struct Span {
        int first;
        int last;
    };

    // Horizontal extent inside an octave, upper part, semitones C .. B.
    constexpr std::array<Span, 12> kUpper { { { 1, 6 }, { 7, 13 }, { 14, 16 }, { 17, 23 },
        { 24, 29 }, { 31, 36 }, { 37, 43 }, { 44, 46 }, { 47, 53 }, { 54, 56 }, { 57, 63 },
        { 64, 69 } } };
    // Lower part, white keys only; first = -1 marks a black key.
    constexpr std::array<Span, 12> kLower { { { 1, 9 }, { -1, -1 }, { 11, 19 }, { -1, -1 },
        { 21, 29 }, { 31, 39 }, { -1, -1 }, { 41, 49 }, { -1, -1 }, { 51, 59 }, { -1, -1 },
        { 61, 69 } } };

    Span upperSpan(int note)
    {
        // The top G is the last key and takes the rest of the octave's G area.
        if (note == kHighestNote)
            return { 44, 49 };
        return kUpper[static_cast<std::size_t>(note % 12)];
    }

} // namespace

bool TLongPianoForm::isBlackKey(int note)
{
    return kLower[static_cast<std::size_t>(((note % 12) + 12) % 12)].first < 0;
}

int TLongPianoForm::noteAt(int x, int y)
{
    if (x < 0 || y < 0 || y >= kHeight)
        return -1;
    const int octave = x / kOctaveWidth;
    const int p = x % kOctaveWidth;
    for (int semitone = 0; semitone < 12; ++semitone) {
        const int note = octave * 12 + semitone;
        if (note > kHighestNote)
            break;
        const Span span
            = y > kUpperBottom ? kLower[static_cast<std::size_t>(semitone)] : upperSpan(note);
        if (span.first >= 0 && p >= span.first && p <= span.last)
            return note;
    }
    return -1;
}

QPainterPath TLongPianoForm::keyShape(int note)
{
    QPainterPath path;
    if (note < 0 || note > kHighestNote)
        return path;
    const int left = (note / 12) * kOctaveWidth;
    const Span upper = upperSpan(note);
    path.addRect(left + upper.first, 0, upper.last - upper.first + 1, kUpperBottom + 1);
    const Span lower = kLower[static_cast<std::size_t>(note % 12)];
    if (lower.first >= 0) {
        path.addRect(left + lower.first, kUpperBottom + 1, lower.last - lower.first + 1,
            kHeight - kUpperBottom - 2);
        path = path.simplified();
    }
    return path;
}

TLongPianoForm::TLongPianoForm(EditorState& state, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setWindowTitle(QStringLiteral("LongPianoForm"));
    setModal(true);
    m_keys = new PianoKeys(*this);
    m_keys->move(0, 0);
    setFixedSize(kWidth, kHeight);
}

void TLongPianoForm::prepare(int note)
{
    m_current = note >= 0 && note <= kHighestNote ? note : -1;
    m_keyboard = m_current >= 0 ? m_current : 0;
    setWindowTitle(QString::fromStdString(cp1252ToUtf8(m_state.catalogue.noteName(m_keyboard))));
    m_keys->update();
}

int TLongPianoForm::openNotePicker(int note)
{
    prepare(note);
    keepOnScreen(*this);
    return exec();
}

QString TLongPianoForm::noteText(int note) const
{
    return QString::fromStdString(cp1252ToUtf8(m_state.catalogue.noteName(note)));
}

void TLongPianoForm::moveKeyboardNote(int note)
{
    m_keyboard = note;
    setWindowTitle(QString::fromStdString(cp1252ToUtf8(m_state.catalogue.noteName(note))));
    m_keys->update();
}

void TLongPianoForm::pointerMoved(QPoint pos)
{
    const int note = noteAt(pos.x(), pos.y());
    if (note >= 0 && note != m_keyboard)
        moveKeyboardNote(note);
}

void TLongPianoForm::buttonReleased(Qt::MouseButton button)
{
    if (button == Qt::LeftButton) {
        assign(m_keyboard);
        accept();
    } else {
        reject();
    }
}

void TLongPianoForm::keyPressed(int key)
{
    if (key == Qt::Key_Left && m_keyboard > 0) {
        moveKeyboardNote(m_keyboard - 1);
    } else if (key == Qt::Key_Right && m_keyboard < kHighestNote) {
        moveKeyboardNote(m_keyboard + 1);
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        assign(m_keyboard);
        accept();
    } else {
        reject();
    }
}

void TLongPianoForm::assign(int note)
{
    m_state.assignSelectedField(note);
    m_state.refreshKnobCell();
}

void TLongPianoForm::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    keyPressed(event->key());
}

void TLongPianoForm::done(int result)
{
    restorePointer(m_state);
    QDialog::done(result);
    m_keys->update();
}

PianoKeys::PianoKeys(TLongPianoForm& form)
    : QWidget(&form)
    , m_form(form)
{
    installAccessibleParts(); // before anything makes Qt look at this widget
    setFixedSize(TLongPianoForm::kWidth, TLongPianoForm::kHeight);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Piano keys"));
}

QRect PianoKeys::accessiblePartRect(int part) const
{
    return TLongPianoForm::keyShape(part).boundingRect().toAlignedRect();
}

void PianoKeys::pressAccessiblePart(int part)
{
    // Where only this key is: a black key's top, a white key's bottom.
    const QRect key = accessiblePartRect(part);
    const QPoint inside(
        key.center().x(), TLongPianoForm::isBlackKey(part) ? key.top() + 2 : key.bottom() - 2);
    m_form.pointerMoved(inside);
    m_form.buttonReleased(Qt::LeftButton);
}

void PianoKeys::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QColor highlight = palette().color(QPalette::Highlight);
    // White keys first: the black ones sit in their notches.
    for (int pass = 0; pass < 2; ++pass) {
        for (int note = 0; note <= kHighestNote; ++note) {
            const bool black = TLongPianoForm::isBlackKey(note);
            if (black != (pass == 1))
                continue;
            QColor fill = black ? QColor(20, 20, 20) : QColor(Qt::white);
            if (note == m_form.currentNote())
                fill = QColor(255, 0, 0);
            else if (note == m_form.keyboardNote() && m_form.isVisible())
                fill = highlight;
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawPath(TLongPianoForm::keyShape(note));
            if (black) {
                painter.setPen(QPen(QColor(90, 90, 90), 1));
                painter.setBrush(Qt::NoBrush);
                const QRectF bounds = TLongPianoForm::keyShape(note).boundingRect();
                painter.drawRect(bounds.adjusted(0, 0, -1, -1));
            }
        }
    }
}

void PianoKeys::mouseMoveEvent(QMouseEvent* event)
{
    m_form.pointerMoved(event->position().toPoint());
}

void PianoKeys::mouseReleaseEvent(QMouseEvent* event) { m_form.buttonReleased(event->button()); }

} // namespace kestrow
