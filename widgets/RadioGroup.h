#pragma once

#include <QGroupBox>

class QButtonGroup;
class QRadioButton;

// A titled group of radio buttons, one per item, seen as the index of the
// chosen item.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT

public:
    TRadioGroup(const QString& name, const QString& caption, const QStringList& items, QWidget* parent);

    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Button(int index) const;

signals:
    void ItemIndexChanged(int index);

private:
    QButtonGroup* buttons;
};
