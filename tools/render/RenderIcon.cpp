// Renders an SVG icon into a square PNG of one size, for the icon theme
// sizes the package installs.
//
//   postwatch-render-icon SVG SIZE PNG
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    bool sized = false;
    const int size = arguments.value(2).toInt(&sized);
    QSvgRenderer renderer(arguments.value(1));
    if (arguments.size() != 4 || !sized || size <= 0 || !renderer.isValid()) {
        QTextStream(stderr) << "usage: postwatch-render-icon SVG SIZE PNG (with a readable SVG)\n";
        return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    if (!image.save(arguments.value(3), "PNG")) {
        QTextStream(stderr) << "postwatch-render-icon: cannot write " << arguments.value(3) << '\n';
        return 1;
    }
    return 0;
}
