#pragma once

#include <QLabel>

class QLineEdit;

// Why a dialog refused its OK, in red under the fields: the default beep
// alone says nothing where the desktop's bell is off. The room for the text
// is kept from the start, so the dialog does not jump when it appears.
class TErrorLabel : public QLabel
{
public:
    TErrorLabel(const QString& name, int lines, QWidget* parent);

    // Beeps, shows why and puts the focus on the field to correct.
    void Refuse(QWidget* field, const QString& why);
    // The text goes as soon as the user edits one of these fields.
    void ClearOnEdit(std::initializer_list<QLineEdit*> fields);

private:
    void MakeRoom();
};
