#include "desktop/Runformdlg.h"

#include "base/Guard.h"
#include "resources/Images.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr QSize ClientSize(410, 239);
constexpr QSize LogoSize(188, 104);

QFont logoFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QPixmap logoPicture(qreal devicePixelRatio)
{
    QPixmap pixmap(LogoSize * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(Images::LogoPath());
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(LogoSize)));
    return pixmap;
}

}

TRunForm::TRunForm(QWidget* parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("RunForm"));
    setWindowTitle(QStringLiteral("Postwatch"));
    setWindowIcon(Images::AppIcon());
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, Qt::white);
    look.setColor(QPalette::WindowText, QColor(0x37, 0x47, 0x4f));
    look.setColor(QPalette::Dark, QColor(0x90, 0xa4, 0xae)); // the box's line
    look.setColor(QPalette::Text, QColor(0x37, 0x47, 0x4f));
    setPalette(look);

    // Being the application's main window in the framework's sense, this
    // window alone ends the program: the main window and the dialogs only hide.
    QApplication::setQuitOnLastWindowClosed(false);

    Label1 = new QLabel(QStringLiteral("Postwatch"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(logoFont(40, true));

    Label4 = new QLabel(QStringLiteral(POSTWATCH_VERSION), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFont(logoFont(40, true));
    QPalette versionLook = Label4->palette();
    versionLook.setColor(QPalette::WindowText, QColor(0x1e, 0x88, 0xe5));
    Label4->setPalette(versionLook);

    Label2 = new QLabel(QStringLiteral("Copyright \u00a9 Tallowfen"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(logoFont(16, true));
    Label2->setAlignment(Qt::AlignHCenter);
    QPalette copyrightLook = Label2->palette();
    copyrightLook.setColor(QPalette::WindowText, QColor(0x78, 0x90, 0x9c));
    Label2->setPalette(copyrightLook);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(LogoSize);
    Image1->setPixmap(logoPicture(devicePixelRatioF()));

    auto* title = new QHBoxLayout;
    title->setSpacing(14);
    title->addStretch();
    title->addWidget(Label1, 0, Qt::AlignBaseline);
    title->addWidget(Label4, 0, Qt::AlignBaseline);
    title->addStretch();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 14, 16, 14);
    column->setSpacing(2);
    column->addLayout(title);
    column->addWidget(Label2);
    column->addStretch();
    column->addWidget(Image1, 0, Qt::AlignHCenter);
    column->addStretch();

    setFixedSize(ClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2000); // never stopped: a late show is still hidden within 2 s
    connect(Timer1, &QTimer::timeout, this, GuardedSlot([this] { Timer1Timer(); }));
    Timer1->start();
}

void TRunForm::Timer1Timer()
{
    hide();
}

void TRunForm::closeEvent(QCloseEvent* event)
{
    Guarded([this] { FormClose(); });
    event->accept();
}

// exit() rather than quit(): quit() would first close every window, and the
// main window's close handler must not run on the way out.
void TRunForm::FormClose()
{
    QCoreApplication::exit(0);
}
