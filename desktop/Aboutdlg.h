#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class TLxHypLink;

// The program's name, version and maker, with a link to the maker's web
// site. Made for one showing and destroyed after it.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Copyright;
    QLabel* Comments;
    TLxHypLink* LxHypLink1;
    QPushButton* OKButton;

private:
    void CreatePanel();
};
