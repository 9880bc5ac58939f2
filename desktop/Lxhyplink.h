#pragma once

#include <QLabel>
#include <functional>

// A text label drawn like a web link that opens URL when clicked.
class TLxHypLink : public QLabel
{
    Q_OBJECT

public:
    explicit TLxHypLink(QWidget* parent = nullptr);

    QString URL; // the target; empty opens nothing
    std::function<void()> OnClick;

    // Runs OnClick, then opens URL with the desktop's handler for it.
    virtual void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
