#pragma once

#include "../core/editor_rig.h"
#include "ui/picker_host.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <deque>
#include <vector>

namespace kestrow {

/// The pointer moved to pos over the widget, as the window system reports it.
/// QTest::mouseMove moves the real pointer, which Wayland does not allow.
inline void movePointer(QWidget* widget, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
        Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

/// The editing rig with what its views were told recorded.
struct ViewRig : EditorRig {
    int tableRefreshes = 0; ///< whole knob table redrawn
    int viewRefreshes = 0; ///< preset view (picture, heading) redrawn
    std::vector<CellPos> cells; ///< single cells redrawn
    std::vector<int> shownKnobs;

    explicit ViewRig(DeviceVariant variant = DeviceVariant::zembraControl)
        : EditorRig(variant)
    {
        state.hooks.refreshPresetView = [this](int) { ++viewRefreshes; };
        state.addView(this,
            { [this](int) { ++tableRefreshes; }, [this](CellPos c) { cells.push_back(c); },
                [this](int knob) { shownKnobs.push_back(knob); } });
    }
    ~ViewRig() { state.removeView(this); }
    /// The knob-table gesture that precedes opening a picker; knob -1: the heading.
    void select(int knob, int field)
    {
        bank.selectedKnob = knob;
        bank.selectedField = field;
        bank.allKnobsPending = knob < 0;
    }
};

/// Every knob's value of one field.
inline std::array<std::int32_t, kKnobCount> allKnobs(std::int32_t value)
{
    std::array<std::int32_t, kKnobCount> all {};
    all.fill(value);
    return all;
}

/// The colour drawn at p.
inline QColor pixelAt(QWidget* widget, QPoint p) { return widget->grab().toImage().pixelColor(p); }

/// A PickerHost that logs what the knob table opens ("event 94", "value -1 by
/// keyboard", "popup 1 - 16 at 200,200", "warning <title>|<text>") and answers
/// popups and the number entry box from a script.
class FakePickerHost : public PickerHost {
public:
    QStringList log;
    std::vector<QStringList> popups; ///< entry texts of each popup shown
    std::deque<int> popupChoices; ///< index chosen per popup; -1 when empty
    std::deque<std::optional<QString>> numberAnswers; ///< editNumber results; cancelled when empty
    QStringList numberPrompts;

    int popupMenu(const std::vector<PopupEntry>& entries, QPoint screenPos) override
    {
        QStringList texts;
        for (const PopupEntry& e : entries)
            texts << (e.enabled ? e.text : e.text + QStringLiteral(" [off]"));
        popups.push_back(texts);
        log << QStringLiteral("popup ") + texts.value(0)
                + (screenPos.isNull()
                        ? QString()
                        : QStringLiteral(" at %1,%2").arg(screenPos.x()).arg(screenPos.y()));
        const int choice = popupChoices.empty() ? -1 : popupChoices.front();
        if (!popupChoices.empty())
            popupChoices.pop_front();
        return choice;
    }
    void openEventPicker(int v, bool keys) override { opened("event %1", v, keys); }
    void openControllerPicker(int v, bool keys) override { opened("controller %1", v, keys); }
    void openValuePicker(int v, bool keys) override { opened("value %1", v, keys); }
    void openParameterPicker(ParameterList list, int v, bool keys) override
    {
        opened("parameter %1 list " + QString::number(int(list)), v, keys);
    }
    void openNotePicker(int note) override { opened("note %1", note, false); }
    std::optional<QString> editNumber(const QString& text) override
    {
        numberPrompts << text;
        if (numberAnswers.empty())
            return std::nullopt;
        const std::optional<QString> answer = numberAnswers.front();
        numberAnswers.pop_front();
        return answer;
    }
    void warning(const QString& title, const QString& text) override
    {
        log << QStringLiteral("warning ") + title + '|' + text;
    }

private:
    void opened(const QString& what, int value, bool byKeyboard)
    {
        log << what.arg(value) + (byKeyboard ? " by keyboard" : "");
    }
};

} // namespace kestrow
