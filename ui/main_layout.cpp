#include "ui/main_layout.h"

#include "ui/device_picture.h"
#include "ui/knob_table.h"
#include "ui/pickers/picker_set.h"
#include "ui/preset_tree.h"
#include "ui/switch_display.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kestrow {

MainLayout::MainLayout(QWidget& client, EditorState& state, PickerSet& pickers)
{
    client.setFixedSize(kClientWidth, kClientHeight);

    auto* headingFrame = new QFrame(&client);
    headingFrame->setFrameShape(QFrame::Panel);
    headingFrame->setFrameShadow(QFrame::Raised);
    headingFrame->setGeometry(0, -5, 555, 56);
    heading = new QLabel(headingFrame);
    heading->setGeometry(7, 14, 541, 30);
    QFont headingFont = heading->font();
    headingFont.setPixelSize(24);
    headingFont.setBold(true);
    headingFont.setUnderline(true);
    heading->setFont(headingFont);

    auto* sendPanel = new QFrame(&client);
    sendPanel->setFrameShape(QFrame::Panel);
    sendPanel->setFrameShadow(QFrame::Raised);
    sendPanel->setGeometry(556, -5, 234, 56);
    sendButton = new QPushButton(QStringLiteral("Send"), sendPanel);
    sendButton->setGeometry(6, 12, 44, 40);
    sendButton->setToolTip(QStringLiteral("Send the selected preset"));
    auto* sendLabel = new QLabel(QStringLiteral("Send Preset"), sendPanel);
    sendLabel->setGeometry(55, 9, 102, 15);
    switches = new SwitchDisplay(sendPanel);
    switches->setGeometry(55, 25, 102, 25);
    autoSend = new QCheckBox(QStringLiteral("&AutoSend"), sendPanel);
    autoSend->setGeometry(159, 27, 75, 20);
    QFont small = autoSend->font();
    small.setPixelSize(11);
    autoSend->setFont(small);
    sendLabel->setFont(small);
    autoSend->setChecked(false);
    // Never shown: a hidden widget takes no room and no focus.
    button1 = new QPushButton(QStringLiteral("Button1"), sendPanel);
    button1->setObjectName(QStringLiteral("Button1"));
    button1->setGeometry(6, 12, 44, 40);
    button1->hide();

    tree = new PresetTree(&client);
    tree->setGeometry(0, 53, 181, 481);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);

    pictureFrame = new QFrame(&client);
    pictureFrame->setFrameShape(QFrame::Box);
    pictureFrame->setGeometry(181, 48, 374, 158);
    picture = new DevicePicture(state, pictureFrame);
    picture->setGeometry(2, 8, 369, 147);

    description = new QPlainTextEdit(&client);
    description->setGeometry(555, 54, 235, 152);
    description->setLineWrapMode(QPlainTextEdit::NoWrap);
    description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    description->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    description->setFocusPolicy(Qt::ClickFocus); // not a tab stop

    knobTable = new KnobTable(state, pickers, &client);
    knobTable->setGeometry(181, 208, 609, 326);
}

QFont descriptionBoxFont()
{
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPixelSize(11);
    fixed.setBold(true);
    return fixed;
}

} // namespace kestrow
