#include "widgets/SpinField.h"

#include <QLineEdit>

TSpinField::TSpinField(const QString& name, int minimum, int maximum, QWidget* parent) : QSpinBox(parent)
{
    setObjectName(name);
    setRange(minimum, maximum);
    lineEdit()->setReadOnly(true);
    // Held down, the buttons step faster and faster: far values stay in reach.
    setAccelerated(true);
}
