#pragma once

#include "editor_state.h"
#include "picker_host.h"

#include <QStringList>

#include <deque>
#include <vector>

namespace kestrow {

/// The editing setup every widget test starts from: bank, catalogue, state.
struct EditorRig {
    PresetBank bank;
    Catalogue catalogue;
    EditorState state { bank, catalogue };

    explicit EditorRig(DeviceVariant variant) { state.variant = variant; }
    Preset& preset() { return bank.presets[static_cast<std::size_t>(bank.selectedPreset)]; }
};

/// A PickerHost that records what the knob table opens and answers popups
/// and the number entry box from a script.
class FakePickerHost : public PickerHost {
public:
    struct Opened {
        QString picker; ///< "event", "controller", "value", "parameter", "note", "warning"
        int value = -1;
        bool byKeyboard = false;
        ParameterList list = ParameterList::xgDrum;
        QString text;
    };

    std::vector<Opened> opened;
    std::vector<QStringList> popups; ///< entry texts of each popup shown
    std::vector<QPoint> popupPositions;
    std::deque<int> popupChoices; ///< index chosen per popup; -1 when empty
    std::deque<QString> numberAnswers; ///< editNumber results; "escape" when empty
    QStringList numberPrompts;

    void record(const QString& picker, int value, bool byKeyboard,
        ParameterList list = ParameterList::xgDrum, const QString& text = {})
    {
        opened.push_back({ picker, value, byKeyboard, list, text });
    }
    int popupMenu(const std::vector<PopupEntry>& entries, QPoint screenPos) override
    {
        QStringList texts;
        for (const PopupEntry& e : entries)
            texts << (e.enabled ? e.text : e.text + QStringLiteral(" [off]"));
        popups.push_back(texts);
        popupPositions.push_back(screenPos);
        const int choice = popupChoices.empty() ? -1 : popupChoices.front();
        if (!popupChoices.empty())
            popupChoices.pop_front();
        return choice;
    }
    void openEventPicker(int marked, bool byKeyboard) override
    {
        record("event", marked, byKeyboard);
    }
    void openControllerPicker(int value, bool byKeyboard) override
    {
        record("controller", value, byKeyboard);
    }
    void openValuePicker(int marked, bool byKeyboard) override
    {
        record("value", marked, byKeyboard);
    }
    void openParameterPicker(ParameterList list, int value, bool byKeyboard) override
    {
        record("parameter", value, byKeyboard, list);
    }
    void openNotePicker(int note) override { record("note", note, false); }
    QString editNumber(const QString& text) override
    {
        numberPrompts << text;
        if (numberAnswers.empty())
            return QStringLiteral("escape");
        const QString answer = numberAnswers.front();
        numberAnswers.pop_front();
        return answer;
    }
    void warning(const QString& title, const QString& text) override
    {
        record("warning", -1, false, ParameterList::xgDrum, title + '|' + text);
    }
};

} // namespace kestrow
