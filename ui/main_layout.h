#pragma once

class QCheckBox;
class QFont;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace kestrow {

class DevicePicture;
class EditorState;
class KnobTable;
class PickerSet;
class PresetTree;
class SwitchDisplay;

/// The main window's controls at their fixed places in the 790 x 534 client
/// area: heading, send panel, preset tree, device picture, description box
/// and knob table. Built unconnected; the window wires the gestures.
struct MainLayout {
    static constexpr int kClientWidth = 790;
    static constexpr int kClientHeight = 534;

    /// Builds every control as a child of `client`, which gets the fixed size.
    MainLayout(QWidget& client, EditorState& state, PickerSet& pickers);

    QLabel* heading = nullptr;
    QPushButton* sendButton = nullptr;
    QPushButton* button1 = nullptr; ///< hidden: a Program Change only
    QCheckBox* autoSend = nullptr;
    SwitchDisplay* switches = nullptr;
    PresetTree* tree = nullptr;
    QFrame* pictureFrame = nullptr;
    DevicePicture* picture = nullptr;
    QPlainTextEdit* description = nullptr;
    KnobTable* knobTable = nullptr;
};

/// The description box's own font, Courier New. The box is built with the
/// application font and takes this one after the window's first paint, so
/// that the first frame loads no other face.
QFont descriptionBoxFont();

} // namespace kestrow
