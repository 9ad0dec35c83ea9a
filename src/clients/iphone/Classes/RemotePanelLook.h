// SPDX-License-Identifier: GPL-3.0-or-later
// The look of the remote panel: background, title, and the drawn icons and
// pad surfaces from Remote.qrc put on the buttons of "RemoteView.ui".
#pragma once

namespace Ui {
class RemoteView;
}

void applyRemotePanelLook(Ui::RemoteView& ui);
