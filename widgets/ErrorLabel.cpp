#include "widgets/ErrorLabel.h"

#include "widgets/Beep.h"

#include <QLineEdit>

namespace {

// Readable on light and on dark window colours alike.
QColor ErrorColor(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(0xff, 0x7b, 0x72) : QColor(0xc0, 0x1c, 0x28);
}

}

TErrorLabel::TErrorLabel(const QString& name, int lines, QWidget* parent) : QLabel(parent)
{
    setObjectName(name);
    // The text may quote what the user pasted: it is shown, never read as markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMinimumHeight(lines * fontMetrics().lineSpacing());
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ErrorColor(colours));
    setPalette(colours);
}

void TErrorLabel::Refuse(QWidget* field, const QString& why)
{
    Beep();
    setText(why);
    MakeRoom();
    field->setFocus(Qt::OtherFocusReason);
}

void TErrorLabel::ClearOnEdit(std::initializer_list<QLineEdit*> fields)
{
    for (QLineEdit* field : fields)
        connect(field, &QLineEdit::textChanged, this, &QLabel::clear);
}

// A text longer than the room kept for it grows the fixed-size dialog rather
// than being cut.
void TErrorLabel::MakeRoom()
{
    const int missing = heightForWidth(width()) - height();
    if (missing > 0 && isVisible())
        window()->setFixedHeight(window()->height() + missing);
}
