#include "desktop/Aboutdlg.h"

#include "desktop/Lxhyplink.h"
#include "desktop/Website.h"
#include "resources/Images.h"
#include "widgets/DialogFrame.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QSize ClientSize(322, 265);
constexpr QSize PictureSize(141, 84);

QLabel* newLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    CreatePanel();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    OKButton->setMinimumSize(75, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    SetDialogFrame(*this, QStringLiteral("About Postwatch"), ClientSize);
}

void TAboutBox::CreatePanel()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken); // a lowered outer and a raised inner edge

    ProgramIcon = newLabel(QStringLiteral("ProgramIcon"), QString(), Panel1);
    ProgramIcon->setFixedSize(PictureSize);
    ProgramIcon->setPixmap(Images::Logo(PictureSize, devicePixelRatioF()));
    ProductName = newLabel(QStringLiteral("ProductName"),
                           QStringLiteral("Postwatch (tm)  Version " POSTWATCH_VERSION), Panel1);
    Copyright = newLabel(QStringLiteral("Copyright"), QStringLiteral("Copyright (C) 2026 Tallowfen"), Panel1);
    Comments = newLabel(QStringLiteral("Comments"),
                        QStringLiteral("For product support, visit Tallowfen on the web:"), Panel1);
    Comments->setWordWrap(true);
    LxHypLink1 = new TLxHypLink(Panel1);
    LxHypLink1->setObjectName(QStringLiteral("LxHypLink1"));
    LxHypLink1->setText(MakerWebsite);
    LxHypLink1->URL = MakerWebsite;

    auto* names = new QVBoxLayout;
    names->addStretch();
    names->addWidget(ProductName);
    names->addWidget(Copyright);
    names->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(ProgramIcon);
    top->addSpacing(8);
    top->addLayout(names, 1);

    auto* layout = new QVBoxLayout(Panel1);
    layout->addLayout(top);
    layout->addStretch();
    layout->addWidget(Comments);
    layout->addWidget(LxHypLink1, 0, Qt::AlignLeft);
}
