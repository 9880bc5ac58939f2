// Renders an SVG icon into a PNG of one size: square for the icon theme
// sizes the package installs, or WIDTHxHEIGHT for the pictures the Windows
// build carries in place of the SVG files.
//
//   postwatch-render-icon SVG SIZE|WIDTHxHEIGHT PNG
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QStringList sides = arguments.value(2).split(u'x');
    bool wide = false, high = false;
    const int width = sides.first().toInt(&wide);
    const int height = sides.last().toInt(&high);
    QSvgRenderer renderer(arguments.value(1));
    if (arguments.size() != 4 || sides.size() > 2 || !wide || !high || width <= 0 || height <= 0 || !renderer.isValid()) {
        QTextStream(stderr) << "usage: postwatch-render-icon SVG SIZE|WIDTHxHEIGHT PNG (with a readable SVG)\n";
        return 2;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
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
