#pragma once

#include "picker_host.h"

#include <QStringList>

#include <deque>
#include <vector>

namespace kestrow {

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
    std::deque<int> popupChoices;     ///< index chosen per popup; -1 when empty
    std::deque<QString> numberAnswers; ///< editNumber results; "escape" when empty
    QStringList numberPrompts;

    void record(const QString& picker, int value, bool byKeyboard,
                ParameterList list = ParameterList::xgDrum, const QString& text = {})
    {
        Opened o;
        o.picker = picker;
        o.value = value;
        o.byKeyboard = byKeyboard;
        o.list = list;
        o.text = text;
        opened.push_back(o);
    }

    int popupMenu(const std::vector<PopupEntry>& entries, QPoint screenPos) override
    {
        QStringList texts;
        for (const PopupEntry& e : entries)
            texts << (e.enabled ? e.text : e.text + QStringLiteral(" [off]"));
        popups.push_back(texts);
        popupPositions.push_back(screenPos);
        if (popupChoices.empty())
            return -1;
        const int choice = popupChoices.front();
        popupChoices.pop_front();
        return choice;
    }
    void openEventPicker(int marked, bool byKeyboard) override
    {
        record(QStringLiteral("event"), marked, byKeyboard);
    }
    void openControllerPicker(int value, bool byKeyboard) override
    {
        record(QStringLiteral("controller"), value, byKeyboard);
    }
    void openValuePicker(int marked, bool byKeyboard) override
    {
        record(QStringLiteral("value"), marked, byKeyboard);
    }
    void openParameterPicker(ParameterList list, int value, bool byKeyboard) override
    {
        record(QStringLiteral("parameter"), value, byKeyboard, list);
    }
    void openNotePicker(int note) override
    {
        record(QStringLiteral("note"), note, false);
    }
    QString editNumber(const QString& text) override
    {
        numberPrompts << text;
        if (numberAnswers.empty())
            return QStringLiteral("escape");
        QString answer = numberAnswers.front();
        numberAnswers.pop_front();
        return answer;
    }
    void warning(const QString& title, const QString& text) override
    {
        record(QStringLiteral("warning"), -1, false, ParameterList::xgDrum,
               title + QLatin1Char('|') + text);
    }
};

} // namespace kestrow
