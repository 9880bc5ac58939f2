#pragma once

#include "config/AccountVoice.h"

#include <array>
#include <utility>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QToolButton;
class QWidget;

// The controls of one priority class's ways, as the options' Notification
// tab and the account dialog show them: a check box per way, the sound file
// and its Browse button, which asks for a file.
struct TNotifyGroup
{
    QGroupBox* Box;
    QCheckBox* ShowList;
    QCheckBox* FlashIcon;
    QCheckBox* Launch;
    QCheckBox* PlaySound;
    QCheckBox* Desktop;
    QLineEdit* SoundFile;
    QToolButton* Browse;

    // The controls are named after the class's prefix ("Norm"):
    // chkNormShowList, editNormSoundFile, btnNormBrowse. Made in the order
    // they are laid out, row by row, which is the Tab order.
    static TNotifyGroup Create(const QString& prefix, const QString& caption, QWidget* parent);

    // Each check box with the way it stands for.
    std::array<std::pair<QCheckBox*, NotifyFlag>, 5> Flags() const;
    TNotifyWays Ways() const;
    void ShowWays(const TNotifyWays& ways);
};
