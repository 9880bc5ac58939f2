#pragma once

#include <QSpinBox>

// A number changed with its arrow buttons and keys only: typing is refused,
// so the field never holds a half-typed value.
class TSpinField : public QSpinBox
{
public:
    TSpinField(const QString& name, int minimum, int maximum, QWidget* parent);
};
