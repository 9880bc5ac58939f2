#include "resources/Images.h"

#include <array>

// Q_INIT_RESOURCE must stand outside any namespace. Calling it pulls the
// compiled resources out of this static library into every program using it.
// The build names the resource file; this expands that name first.
#define PW_INIT_RESOURCE(name) Q_INIT_RESOURCE(name)
static bool registerResources()
{
    PW_INIT_RESOURCE(POSTWATCH_PICTURES_QRC);
    return true;
}

static void initResources()
{
    static const bool done = registerResources();
    (void)done;
}

namespace {

constexpr std::array<const char*, Images::TBImgsCount> tbImgsFiles = {
    "check-mail", "cancel", "delete", "minimize", "configuration", "website",
    "launch-client", "help", "exit", "quick-view", "block-sender", "mark-read",
};

QString iconPath(const char* name)
{
    initResources();
    return QStringLiteral(POSTWATCH_PICTURE_PATH).arg(QLatin1String(name));
}

}

namespace Images {

QString TBImgsPath(int ImageIndex)
{
    if (ImageIndex < 0 || ImageIndex >= TBImgsCount)
        return {};
    return iconPath(tbImgsFiles[ImageIndex]);
}

QIcon TBImgs(int ImageIndex)
{
    const QString path = TBImgsPath(ImageIndex);
    return path.isEmpty() ? QIcon() : QIcon(path);
}

QIcon ReplyIcon()
{
    return QIcon(iconPath("reply"));
}

QString AppIconPath()
{
    return iconPath("postwatch");
}

QIcon AppIcon()
{
    return QIcon(AppIconPath());
}

QString LogoPath()
{
    return iconPath("logo");
}

// Installed, the frames come from the icon theme by name, which a
// StatusNotifierItem host draws sharp at its own size; the built-in
// pictures stand in wherever the theme lacks them.
QList<QIcon> TrayImgs()
{
    return {QIcon::fromTheme(QStringLiteral(POSTWATCH_APP_ID "-tray"), QIcon(iconPath("tray"))),
            QIcon::fromTheme(QStringLiteral(POSTWATCH_APP_ID "-tray-alert"), QIcon(iconPath("tray-alert")))};
}

}
