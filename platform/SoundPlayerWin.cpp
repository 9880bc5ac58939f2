#include "platform/SoundPlayer.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

SoundPlayer::~SoundPlayer() = default;

// A missing file is passed over here: the shell would answer it with a box
// of its own.
void SoundPlayer::Play(const QString& file)
{
    if (!QFileInfo(file).isFile())
        return;
    const QString path = QDir::toNativeSeparators(file);
    const auto* name = reinterpret_cast<const wchar_t*>(path.utf16());
    if (path.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive))
        PlaySoundW(name, nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    else
        ShellExecuteW(nullptr, L"open", name, nullptr, nullptr, SW_SHOWNORMAL);
}
