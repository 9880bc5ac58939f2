#include "desktop/WindowRect.h"

#include "config/Registry.h"
#include "config/StoreKeys.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtEndian>
#include <algorithm>

namespace {

const QString WndRectName = QStringLiteral("WndRect");
constexpr int WndRectSize = 16;
// Less than this of a window on any screen cannot be grabbed and dragged back.
constexpr QSize LeastVisible(64, 32);

QByteArray encode(const QRect& rect)
{
    QByteArray bytes(WndRectSize, '\0');
    const qint32 fields[4] = {rect.left(), rect.top(), rect.width(), rect.height()};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(fields[i], bytes.data() + 4 * i);
    return bytes;
}

QRect decode(const QByteArray& bytes)
{
    auto field = [&bytes](int i) { return qFromLittleEndian<qint32>(bytes.constData() + 4 * i); };
    return QRect(field(0), field(1), field(2), field(3));
}

bool shownBy(const QScreen* screen, const QRect& rect)
{
    const QRect visible = screen->availableGeometry().intersected(rect);
    return visible.width() >= qMin(LeastVisible.width(), rect.width())
        && visible.height() >= qMin(LeastVisible.height(), rect.height());
}

}

namespace WindowRect {

QRect OnSomeScreen(const QRect& rect)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary || std::any_of(screens.begin(), screens.end(), [&rect](const QScreen* s) { return shownBy(s, rect); }))
        return rect;
    QRect moved(QPoint(), rect.size());
    moved.moveCenter(primary->availableGeometry().center());
    return moved;
}

void Restore(RegistryStore& store, QWidget& window)
{
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::Program, false))
        return;
    if (reg.ValueExists(WndRectName)) {
        const QByteArray bytes = reg.ReadBinaryData(WndRectName);
        if (bytes.size() == WndRectSize) {
            const QRect rect = OnSomeScreen(decode(bytes));
            window.move(rect.topLeft());
            window.resize(rect.size());
        }
    }
    reg.CloseKey();
}

void Save(RegistryStore& store, const QWidget& window)
{
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::Program, false))
        return;
    reg.WriteBinaryData(WndRectName, encode(QRect(window.pos(), window.size())));
    reg.CloseKey();
}

}
