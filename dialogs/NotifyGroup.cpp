#include "dialogs/NotifyGroup.h"

#include "base/Guard.h"
#include "widgets/FileDialog.h"
#include "widgets/HelpViewer.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

template <typename Control> Control* named(Control* control, const QString& name, int helpContext)
{
    control->setObjectName(name);
    SetHelpContext(control, helpContext);
    return control;
}

void chooseSoundFile(QLineEdit* field)
{
    const QString chosen =
        OpenFileName({u"Choose a sound"_s, {}, {u"Wav files (*.wav)"_s, u"All files (*)"_s}, field->window()});
    if (!chosen.isEmpty())
        field->setText(chosen);
}

}

TNotifyGroup TNotifyGroup::Create(const QString& prefix, const QString& caption, QWidget* parent)
{
    auto* box = new QGroupBox(caption, parent);
    const auto flag = [&](const QString& name, const QString& text, int helpContext) {
        return named(new QCheckBox(text, box), u"chk"_s + prefix + name, helpContext);
    };
    TNotifyGroup group;
    group.Box = box;
    group.ShowList = flag(u"ShowList"_s, u"Show Message List"_s, 317);
    group.FlashIcon = flag(u"FlashIcon"_s, u"Flash Tray Icon"_s, 318);
    group.Launch = flag(u"Launch"_s, u"Launch Email Client"_s, 319);
    group.Desktop = flag(u"Desktop"_s, u"Show Desktop Notification"_s, 340);
    group.PlaySound = flag(u"PlaySound"_s, u"Play Sound"_s, 320);
    group.SoundFile = named(new QLineEdit(box), u"edit"_s + prefix + u"SoundFile"_s, 321);
    group.Browse = named(new QToolButton(box), u"btn"_s + prefix + u"Browse"_s, 322);
    group.Browse->setIcon(box->style()->standardIcon(QStyle::SP_DirOpenIcon));
    group.Browse->setToolTip(u"Choose a sound file"_s);
    QObject::connect(group.Browse, &QToolButton::clicked, box,
                     GuardedSlot([field = group.SoundFile] { chooseSoundFile(field); }));

    auto* sound = new QHBoxLayout;
    sound->setSpacing(2);
    sound->addWidget(group.SoundFile);
    sound->addWidget(group.Browse);
    auto* layout = new QGridLayout(box);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setVerticalSpacing(0);
    layout->addWidget(group.ShowList, 0, 0);
    layout->addWidget(group.FlashIcon, 0, 1);
    layout->addWidget(group.Launch, 0, 2);
    layout->addWidget(group.Desktop, 1, 0);
    layout->addWidget(group.PlaySound, 1, 1);
    layout->addLayout(sound, 1, 2);
    return group;
}

std::array<std::pair<QCheckBox*, NotifyFlag>, 5> TNotifyGroup::Flags() const
{
    return {{{ShowList, NotifyShowList},
             {FlashIcon, NotifyFlashIcon},
             {Launch, NotifyLaunchClient},
             {Desktop, NotifyDesktop},
             {PlaySound, NotifyPlaySound}}};
}

TNotifyWays TNotifyGroup::Ways() const
{
    TNotifyWays ways;
    for (const auto& [box, flag] : Flags())
        ways.Bits.setFlag(flag, box->isChecked());
    ways.SoundFile = SoundFile->text();
    return ways;
}

void TNotifyGroup::ShowWays(const TNotifyWays& ways)
{
    for (const auto& [box, flag] : Flags())
        box->setChecked(ways.Bits.testFlag(flag));
    SoundFile->setText(ways.SoundFile);
}
