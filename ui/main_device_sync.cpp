// The main window's device commands beyond the single preset: Get All
// Presets, Send Changed Presets and Verify Device, and the tree's mark for
// presets that differ from the device.

#include "ui/main_form.h"
#include "ui/preset_tree.h"

namespace kestrow {

void TMainForm::createDeviceSync()
{
    presetTree()->itemDelegateForPresets()->setDeviceMarkFunction(
        [this](int row) { return m_session.deviceMark(row); });
}

void TMainForm::startDeviceSync(const SyncStart& start, const QString& title)
{
    if (!portsMissing(start.ports) && !start.note.empty())
        showWarning(title, QString::fromStdString(start.note));
}

void TMainForm::GetAllPresets1Click()
{
    startDeviceSync(m_session.getAllPresets(), QStringLiteral("Get All Presets"));
}

void TMainForm::VerifyDevice1Click(bool onlySentSinceVerify)
{
    startDeviceSync(m_session.verifyDevice(onlySentSinceVerify), QStringLiteral("Verify Device"));
}

void TMainForm::SendChangedPresets1Click()
{
    startDeviceSync(m_session.sendChangedPresets(), QStringLiteral("Send Changed Presets"));
}

void TMainForm::FindFastestDelay1Click()
{
    startDeviceSync(m_session.findFastestDelay(), QStringLiteral("Find Fastest Delay"));
}

void TMainForm::cancelDeviceSync() { m_session.cancelDeviceWork(); }

} // namespace kestrow
