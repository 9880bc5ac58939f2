#pragma once

#include <QFrame>

class QLabel;
class QTimer;

// The tray owner window, as much of it as start-up needs: the application's
// first window. The program shows it at start as the logo window; its own
// timer hides it; closing it ends the program.
class TRunForm : public QFrame
{
    Q_OBJECT

public:
    explicit TRunForm(QWidget* parent = nullptr);

    QLabel* Image1;   // the logo picture, 188 x 104
    QLabel* Label1;   // "Postwatch"
    QLabel* Label4;   // the version
    QLabel* Label2;   // the copyright line
    QTimer* Timer1;   // 2000 ms from creation: hides the logo window

    void Timer1Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
};
